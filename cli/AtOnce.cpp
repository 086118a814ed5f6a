#include "cli/AtOnce.h"

#include <QThread>
#include <memory>
#include <vector>

namespace cli {

void AtOnce(size_t count, const std::function<void(size_t index)>& job)
{
    std::vector<std::unique_ptr<QThread>> threads;
    for (size_t index = 0; index < count; ++index) {
        threads.emplace_back(QThread::create(job, index));
        threads.back()->start();
    }
    for (const std::unique_ptr<QThread>& thread : threads)
        thread->wait();
}

} // namespace cli
