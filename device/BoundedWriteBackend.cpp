#include "device/BoundedWriteBackend.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// A unit's claim, closed when the last of its owners lets go: this object while the claim is
// open, and each writer of the unit until its handle is closed.
struct BoundedWriteBackend::Hold {
    Hold(std::shared_ptr<IHidBackend> inner, HidHandle claim, std::string path)
        : inner(std::move(inner)), claim(claim), path(std::move(path))
    {
    }
    ~Hold() { inner->Close(claim); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

    const std::shared_ptr<IHidBackend> inner;
    const HidHandle claim;
    const std::string path;
};

struct BoundedWriteBackend::Writer {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<uint8_t> report; // the write to make, while pending
    int timeoutMs = 0;
    bool pending = false;
    HidTransfer result;
    bool closing = false; // close the handle once no write is under way, then end
    bool closed = false;
    std::shared_ptr<Hold> hold; // the unit's claim, kept until the handle is closed
};

// The thread keeps its own copies of both pointers for as long as it runs.
void BoundedWriteBackend::RunWriter(const std::shared_ptr<Writer>& writer,
                                    const std::shared_ptr<IHidBackend>& inner, HidHandle handle)
{
    std::unique_lock lock(writer->mutex);
    for (;;) {
        writer->changed.wait(lock, [&] { return writer->pending || writer->closing; });
        if (!writer->pending)
            break;
        const std::vector<uint8_t> report = writer->report;
        const int timeoutMs = writer->timeoutMs;
        lock.unlock();
        const HidTransfer result = inner->Write(handle, report.data(), report.size(), timeoutMs);
        lock.lock();
        writer->result = result;
        writer->pending = false;
        writer->changed.notify_all();
    }
    inner->Close(handle);
    // A claim closed while the write was stuck is let go of now, before closing is told of.
    writer->hold.reset();
    writer->closed = true;
    writer->changed.notify_all();
}

BoundedWriteBackend::BoundedWriteBackend(std::shared_ptr<IHidBackend> inner)
    : m_inner(std::move(inner))
{
}

BoundedWriteBackend::~BoundedWriteBackend()
{
    for (;;) {
        HidHandle handle = kInvalidHidHandle;
        {
            std::lock_guard lock(m_mutex);
            if (m_writers.empty())
                return;
            handle = m_writers.begin()->first;
        }
        Close(handle);
    }
}

HidClaim BoundedWriteBackend::Claim(const std::string& path)
{
    HidClaim claim = m_inner->Claim(path);
    if (claim.handle != kInvalidHidHandle) {
        std::lock_guard lock(m_mutex);
        m_claims[claim.handle] = std::make_shared<Hold>(m_inner, claim.handle, path);
    }
    return claim;
}

HidOpened BoundedWriteBackend::Open(const std::string& path, HidAccess access)
{
    const HidOpened opened = m_inner->Open(path, access);
    std::lock_guard lock(m_mutex);
    for (const auto& [claim, hold] : m_claims) {
        if (hold->path == path && opened.handle != kInvalidHidHandle)
            m_holds[opened.handle] = hold;
    }
    return opened;
}

std::shared_ptr<BoundedWriteBackend::Writer> BoundedWriteBackend::WriterOf(HidHandle handle)
{
    std::lock_guard lock(m_mutex);
    std::shared_ptr<Writer>& writer = m_writers[handle];
    if (!writer) {
        writer = std::make_shared<Writer>();
        if (const auto hold = m_holds.find(handle); hold != m_holds.end())
            writer->hold = hold->second;
        std::thread(RunWriter, writer, m_inner, handle).detach();
    }
    return writer;
}

HidTransfer BoundedWriteBackend::Write(HidHandle handle, const uint8_t* report, size_t length,
                                       int timeoutMs)
{
    const std::shared_ptr<Writer> writer = WriterOf(handle);
    std::unique_lock lock(writer->mutex);
    if (writer->pending)
        return {0};
    writer->report.assign(report, report + length);
    writer->timeoutMs = timeoutMs;
    writer->pending = true;
    writer->changed.notify_all();
    if (!writer->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return !writer->pending; }))
        return {0};
    return writer->result;
}

bool BoundedWriteBackend::WriteUnderWay()
{
    std::lock_guard lock(m_mutex);
    return std::ranges::any_of(m_writers, [](const auto& entry) {
        std::lock_guard writing(entry.second->mutex);
        return entry.second->pending;
    });
}

void BoundedWriteBackend::Close(HidHandle handle)
{
    std::shared_ptr<Writer> writer;
    std::shared_ptr<Hold> claim; // let go of outside the lock
    {
        std::lock_guard lock(m_mutex);
        // A claim's own handle: let go of at once unless a writer of the unit still holds it.
        if (const auto found = m_claims.find(handle); found != m_claims.end()) {
            claim = std::move(found->second);
            m_claims.erase(found);
        } else if (const auto open = m_writers.find(handle); open != m_writers.end()) {
            writer = std::move(open->second);
            m_writers.erase(open);
        }
        m_holds.erase(handle);
    }
    if (claim)
        return;
    if (!writer) {
        m_inner->Close(handle);
        return;
    }
    // The writer closes its handle: at once when idle, and after its write when one is stuck,
    // which is not waited for.
    std::unique_lock lock(writer->mutex);
    writer->closing = true;
    writer->changed.notify_all();
    if (!writer->pending)
        writer->changed.wait(lock, [&] { return writer->closed; });
}
