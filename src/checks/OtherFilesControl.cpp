#include "checks/OtherFilesControl.h"

#include "checks/DriverStep.h"
#include "checks/RegistryExport.h"
#include "misc/NativeArchitecture.h"
#include "report/TmpFileManager.h"

#include <memory>

OtherFilesControl::OtherFilesControl() : m_info(new Misc::AFileManager()) {}

void OtherFilesControl::Clear()
{
    m_info.Clear();
    ReleaseStagedFiles();
}

void OtherFilesControl::ReleaseStagedFiles()
{
    if (Misc::AFileManager* manager = m_info.FileManager())
        manager->ReleaseAll();
}

// The first scan's files are deleted before new ones are staged, so no stale file is
// ever listed. Each step adds only what it actually wrote.
void OtherFilesControl::Scan(IStatusInfo* status, const std::vector<std::wstring>& driverFiles)
{
    Clear();
    Misc::AFileManager* manager = m_info.FileManager();
    if (status)
        status->ShowActivity(L"SCANNING REGISTRY ...");
    std::vector<RegistryExportOutcome> outcomes;
    for (const std::wstring& path : ExportRegistry(manager, Misc::NativeProcessorArchitecture(), &outcomes))
        AddEntry(path);
    m_info.SetRegistryExportOutcomes(std::move(outcomes));
    if (status)
        status->ShowActivity(L"SCANNING DRIVERS ...");
    AddEntry(RunDriverStep(driverFiles, manager, status));
}

void OtherFilesControl::AddEntry(const std::wstring& path)
{
    if (!path.empty())
        m_info.Add(std::make_unique<OtherFilesInfo::FileEntry>(path, m_info.FileManager()));
}
