# Fails when a source file outside the platform layer includes a system header of POSIX or
# Windows: such calls belong behind src/platform, where the build picks the system's
# implementation.
#   cmake -DROOT=<tree> -DFOLDERS="src;apps" -DEXEMPT=src/platform -P SystemHeaders.cmake
set(denied
    "unistd|fcntl|termios|termio|signal|pthread|poll|spawn|dirent|pwd|grp|netdb|ifaddrs"
    "|strings|dlfcn|sched|semaphore|syslog|pty|utmp|libgen|glob|fnmatch|wordexp|ucontext"
    "|sys/[a-z_/]+|netinet/[a-z_]+|arpa/[a-z_]+|net/[a-z_]+|linux/[a-z_0-9/]+|asm/[a-z_]+"
    "|windows|winsock|winsock2|ws2tcpip|iphlpapi|icmpapi|shlobj|shellapi|tlhelp32|winbase"
    "|winioctl|winsvc|lm|lmshare|aclapi|sddl|io|direct|process|conio|mswsock|wincrypt")
string(JOIN "" denied ${denied})
set(pattern "#[ \t]*include[ \t]*<(${denied})\\.h>")

set(found "")
foreach(folder IN LISTS FOLDERS)
    file(GLOB_RECURSE files LIST_DIRECTORIES false
        "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.hpp" "${ROOT}/${folder}/*.cpp"
        "${ROOT}/${folder}/*.c")
    foreach(path IN LISTS files)
        file(RELATIVE_PATH relative "${ROOT}" "${path}")
        if(DEFINED EXEMPT AND relative MATCHES "^${EXEMPT}/")
            continue()
        endif()
        file(STRINGS "${path}" lines REGEX "${pattern}")
        foreach(line IN LISTS lines)
            string(STRIP "${line}" line)
            list(APPEND found "${relative}: ${line}")
        endforeach()
    endforeach()
endforeach()

if(found)
    list(JOIN found "\n  " text)
    message(FATAL_ERROR "system headers outside the platform layer:\n  ${text}")
endif()
message(STATUS "no system headers outside the platform layer")
