#pragma once
// The status sink that every collector reports progress through. Collectors take it
// as a pointer and accept null, in which case they report nothing.

class IStatusInfo
{
  public:
    virtual void ShowActivity(const wchar_t* text) = 0; // "SCANNING SYSTEM ..."
    virtual void SetStatus(const wchar_t* text) = 0;    // a plain result or state text
    virtual void Tick(bool big) = 0;                    // progress

  protected:
    // Not deleted through the interface: its implementations own themselves.
    ~IStatusInfo() = default;
};
