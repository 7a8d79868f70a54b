#pragma once
// The archive writer: a new ZIP file (no ZIP64) of whole files under flat entry
// names, stored or deflated at level 8, finished with its central directory.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

namespace Misc
{

class ZipArchive
{
  public:
    ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;
    virtual ~ZipArchive();

    bool Open(const std::wstring& path);
    bool AddFile(const std::wstring& entryName, const std::wstring& sourcePath);
    bool Close();

    bool IsOpen() const noexcept { return m_mode == kModeWrite; }
    const std::wstring& Path() const noexcept { return m_path; }
    // Why Open or Close failed: the system's error code of the first failure the
    // archive met (ERROR_WRITE_FAULT when the system named none); 0 after success.
    unsigned long Error() const noexcept { return m_error; }

    static constexpr int kModeClosed = 0;
    static constexpr int kModeWrite = 2;

  private:
    class Writer;

    std::wstring m_path;
    std::unique_ptr<Writer> m_writer;
    int m_mode = kModeClosed;
    unsigned long m_error = 0;
};

} // namespace Misc
