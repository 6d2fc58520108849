// The other end of the stand-in's steering pipe (pipe_steering.h), for a benchmark or test that
// steers the network of a program it starts: create the pipe, start the program with
// ZANVI_DNSSD_STEERING_PIPE naming it, wait for the library to connect, then send commands.
#pragma once

#include <windows.h>

#include <string>

class CSteeringPipe {
public:
    CSteeringPipe();  // a pipe of its own name, unique in the machine
    ~CSteeringPipe();
    CSteeringPipe(const CSteeringPipe&) = delete;
    CSteeringPipe& operator=(const CSteeringPipe&) = delete;

    bool Created() const { return m_pipe != INVALID_HANDLE_VALUE; }
    const std::wstring& Name() const { return m_name; }
    bool WaitConnected(DWORD timeoutMs);
    // Sends one command ("add NAME TYPE DOMAIN INDEX" ...) and answers the library's reply
    // ("0" or "-1"), or "" when none came within timeoutMs. The change is in force on return.
    std::string Send(const std::string& command, DWORD timeoutMs = 5000);
    // Ends the service: the library's thread ends and releases the library.
    void Close();

private:
    // Completes an overlapped operation that started with the result ok; false on time-out.
    bool Complete(BOOL ok, DWORD timeoutMs, DWORD* bytes);

    std::wstring m_name;
    HANDLE m_pipe = INVALID_HANDLE_VALUE;
    HANDLE m_event = nullptr;
    OVERLAPPED m_overlapped = {};
};
