#pragma once
#include <string>
#include <system_error>

// One program per unit on Windows: a named mutex in the global namespace, named from the device
// instance ID that the system gives the unit, as Linux locks the unit's node: never from what the
// unit reports of itself, which it may fail to report for a moment. Programs of every user and
// session see it; the system lets go of it when the holder ends however it ends. Beside it
// the holder keeps a small named record of its process ID, from which a second program of the
// same session names it ("torvanreader-cli (process 1234)").
class UnitLock {
public:
    // Takes the lock on the unit known as identity, or says why not: HidClaim::HeldByAnother()
    // while another program holds it (holder names it where it can be known), else the cause.
    explicit UnitLock(const std::string& identity);
    ~UnitLock();
    UnitLock(const UnitLock&) = delete;
    UnitLock& operator=(const UnitLock&) = delete;

    bool Held() const { return m_mutex != nullptr; }
    const std::error_code& Error() const { return m_error; }
    const std::string& Holder() const { return m_holder; }

    // The object names made from an identity; a name holds no backslash.
    static std::wstring MutexName(const std::string& identity);
    static std::wstring RecordName(const std::string& identity);

private:
    void WriteRecord(const std::string& identity);
    static std::string ReadHolder(const std::string& identity);

    const std::string m_identity;
    void* m_mutex = nullptr;
    void* m_record = nullptr;
    std::error_code m_error;
    std::string m_holder;
};
