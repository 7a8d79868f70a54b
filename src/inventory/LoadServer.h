#pragma once
// One probe process that makes load tests one after another, so that a scan of many
// libraries pays for one process start instead of one per library. A library that
// crashes, hangs or ends the probe ends only this probe; the next test starts a new one.
// A fault in a probe that has served earlier libraries may be the doing of one of them:
// the library is tested again, alone, in a new probe, and only that result counts.

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

    // Loads `library` in the probe, which writes its line to `resultPath`. False only
    // when no probe of this program could be started; after a start that failed even
    // when tried again, this server is not tried again.
    bool Test(const std::wstring& library, const std::wstring& resultPath, DWORD limitMs,
              ProbeResult& result);
    void Stop();
    // The probes this server has started.
    unsigned Starts() const { return m_starts; }

  private:
    bool Start();
    bool StartProbe();
    bool TestInProbe(const std::wstring& library, const std::wstring& resultPath, DWORD limitMs,
                     ProbeResult& result);
    bool SendRequest(const std::wstring& resultPath, const std::wstring& library);
    bool TakeAnswer(const std::wstring& resultPath, ProbeResult& result);

    std::wstring m_program;
    bool m_unusable = false;
    unsigned m_starts = 0;
    unsigned m_served = 0;       // answers the running probe has given
    unsigned long m_request = 0; // the number of the latest request
    bool m_retire = false;       // the latest library left code running in the probe
    Misc::ChildProcess m_child;
    Misc::KernelHandle m_requests; // our end of the probe's standard input
    Misc::KernelHandle m_answered; // set by the probe after each answer
};

// The most of a result file that is read; a longer one is cut with a line that says so.
constexpr DWORD kProbeResultLimitBytes = 4u << 20;

// The result file's text after its byte order mark, at most kProbeResultLimitBytes of
// it; false when the probe never created it.
bool ReadProbeResult(const std::wstring& path, std::wstring& text);
