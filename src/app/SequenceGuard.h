#pragma once
// Set while a scan or a save runs; both sequences take it.

class SequenceGuard
{
  public:
    SequenceGuard();
    ~SequenceGuard();
    SequenceGuard(const SequenceGuard&) = delete;
    SequenceGuard& operator=(const SequenceGuard&) = delete;

    bool Acquired() const { return m_acquired; }
    static bool Running();

  private:
    bool m_acquired;
};
