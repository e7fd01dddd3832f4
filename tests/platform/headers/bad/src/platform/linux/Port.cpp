#include <termios.h>
