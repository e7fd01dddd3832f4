// clang-format off
#include "links/Port.h"

#include <cstdio>
#  include <sys/ioctl.h>
