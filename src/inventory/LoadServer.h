#pragma once
// One probe process that makes load tests one after another, so that a scan of many
// libraries pays for one process start instead of one per library. A library that
// crashes, hangs or ends the probe ends only this probe; the next test starts a new one.

#include "inventory/ProbeRunner.h"
#include "misc/ChildProcess.h"
#include "misc/Handles.h"

#include <string>

class LoadServer
{
  public:
    explicit LoadServer(std::wstring program) : m_program(std::move(program)) {}
    ~LoadServer() { Stop(); }
    LoadServer(const LoadServer&) = delete;
    LoadServer& operator=(const LoadServer&) = delete;

    // Loads `library` in the probe, which writes its line to `resultPath`. False when
    // no probe of this program could be started or none would take the request; after
    // a failed start this server is not tried again.
    bool Test(const std::wstring& library, const std::wstring& resultPath, DWORD limitMs,
              ProbeResult& result);
    void Stop();

  private:
    bool Start();
    bool SendRequest(const std::wstring& resultPath, const std::wstring& library);

    std::wstring m_program;
    bool m_unusable = false;
    Misc::ChildProcess m_child;
    Misc::KernelHandle m_requests; // our end of the probe's standard input
    Misc::KernelHandle m_answered; // set by the probe after each answer
};

// The result file's text after its byte order mark; false when the probe never
// created it (it did not take the test).
bool ReadProbeResult(const std::wstring& path, std::wstring& text);
