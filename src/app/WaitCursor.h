#pragma once
// The hourglass shown while a sequence works. Nested Begin/End pairs keep it on until
// the outermost End; Restore shows it again after dispatched messages reset the cursor.
// Tests replace it to see when it is on.

class IWaitCursor
{
  public:
    virtual void Begin() = 0;
    virtual void Restore() = 0;
    virtual void End() = 0;

  protected:
    ~IWaitCursor() = default;
};

// The cursor in use: the platform's, unless a test installed another.
IWaitCursor& WaitCursor();
// Installs `cursor` (null restores the platform's); gives the previous one.
IWaitCursor* SetWaitCursor(IWaitCursor* cursor);
