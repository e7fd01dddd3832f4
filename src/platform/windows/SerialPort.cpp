#include "platform/SerialPort.h"

#include <windows.h>

#include <algorithm>

#include "Wide.h"

// The COM port API: CreateFileW on \\.\COMn (exclusive by nature), the line in a DCB,
// overlapped transfers bounded by the caller's deadline.
namespace zm::platform {

namespace {

constexpr DWORD kQueueBytes = 4096;

HANDLE HandleOf(int handle) {
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(handle));
}

DWORD MsLeft(SerialPort::Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SerialPort::Clock::now())
            .count();
    return left <= 0 ? 0 : static_cast<DWORD>(std::min<long long>(left, 1 << 30));
}

// One overlapped transfer, waited for until the deadline and cancelled after it.
SerialPort::Transfer Overlapped(HANDLE port, bool write, void* buffer, int size,
                                SerialPort::Clock::time_point deadline) {
    OVERLAPPED io{};
    io.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (io.hEvent == nullptr)
        return {SerialPort::Step::kFailed, 0};
    DWORD moved = 0;
    BOOL done = write ? WriteFile(port, buffer, static_cast<DWORD>(size), &moved, &io)
                      : ReadFile(port, buffer, static_cast<DWORD>(size), &moved, &io);
    if (!done && GetLastError() == ERROR_IO_PENDING) {
        if (WaitForSingleObject(io.hEvent, MsLeft(deadline)) != WAIT_OBJECT_0)
            CancelIoEx(port, &io);
        done = GetOverlappedResult(port, &io, &moved, TRUE);
        if (!done && GetLastError() == ERROR_OPERATION_ABORTED)
            done = TRUE;
    }
    CloseHandle(io.hEvent);
    if (!done)
        return {SerialPort::Step::kFailed, 0};
    if (moved > 0)
        return {SerialPort::Step::kMoved, static_cast<int>(moved)};
    return {MsLeft(deadline) == 0 ? SerialPort::Step::kTimedOut : SerialPort::Step::kAgain, 0};
}

}  // namespace

SerialPort::~SerialPort() {
    Close();
}

// "COM12" and "\\.\COM12" alike; the device namespace reaches ports above COM9.
std::string SerialPort::DevicePath(const std::string& portName) {
    if (portName.empty() || portName.rfind("\\\\.\\", 0) == 0)
        return portName;
    return "\\\\.\\" + portName;
}

bool SerialPort::Open(const std::string& devicePath) {
    Close();
    HANDLE port = CreateFileW(Wide(devicePath).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE)
        return false;
    SetupComm(port, kQueueBytes, kQueueBytes);
    // Reads return what has arrived once a byte is in; the deadline bounds the rest.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = 100;
    SetCommTimeouts(port, &timeouts);
    handle_ = static_cast<int>(reinterpret_cast<std::intptr_t>(port));
    return true;
}

bool SerialPort::Configure(const SerialLine& line) {
    HANDLE port = HandleOf(handle_);
    if (!PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT))
        return false;
    if (line.byteSize < 5 || line.byteSize > 8 || line.parity < 0 || line.parity > 4 ||
        line.stopBits < 0 || line.stopBits > 2 || line.baudRate <= 0)
        return false;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb))
        return false;
    dcb.BaudRate = static_cast<DWORD>(line.baudRate);
    dcb.ByteSize = static_cast<BYTE>(line.byteSize);
    dcb.Parity = static_cast<BYTE>(line.parity);      // NOPARITY .. SPACEPARITY in this order
    dcb.StopBits = static_cast<BYTE>(line.stopBits);  // ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    if (!SetCommState(port, &dcb))
        return false;
    DCB check{};
    check.DCBlength = sizeof check;
    return GetCommState(port, &check) && check.BaudRate == dcb.BaudRate &&
           check.ByteSize == dcb.ByteSize && check.Parity == dcb.Parity &&
           check.StopBits == dcb.StopBits;
}

bool SerialPort::Purge() {
    return handle_ >= 0 && PurgeComm(HandleOf(handle_), PURGE_RXCLEAR | PURGE_TXCLEAR) != 0;
}

int SerialPort::Close() {
    int error = 0;
    if (handle_ >= 0) {
        if (!CloseHandle(HandleOf(handle_)))
            error = static_cast<int>(GetLastError());
        handle_ = -1;
    }
    return error;
}

SerialPort::Transfer SerialPort::ReadSome(std::uint8_t* buffer, int size,
                                          Clock::time_point deadline) {
    return Overlapped(HandleOf(handle_), false, buffer, size, deadline);
}

SerialPort::Transfer SerialPort::WriteSome(const std::uint8_t* data, int size,
                                           Clock::time_point deadline) {
    return Overlapped(HandleOf(handle_), true, const_cast<std::uint8_t*>(data), size, deadline);
}

}  // namespace zm::platform
