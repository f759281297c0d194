#include "window/blockreader.h"

#include <algorithm>

BlockReader::~BlockReader()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stop = true;
    }
    changed.notify_all();
    thread.join();
}

bool BlockReader::next(QByteArray &block)
{
    std::unique_lock<std::mutex> lock(mutex);
    if (block.capacity() >= blockBytes)
        spare.push_back(std::move(block));
    changed.wait(lock, [this] { return !ready.empty(); });
    const bool ok = ready.front().second;
    block = std::move(ready.front().first);
    ready.erase(ready.begin());
    changed.notify_all();
    return ok;
}

void BlockReader::run(QFile &file, const std::atomic_bool *cancel)
{
    for (;;) {
        QByteArray block;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return stop || ready.size() < 3; });
            if (stop)
                return;
            if (!spare.empty()) {
                block = std::move(spare.back());
                spare.pop_back();
            }
        }
        block.resize(blockBytes);
        const qint64 got = cancel && cancel->load() ? -1 : file.read(block.data(), block.size());
        block.resize(std::max<qint64>(got, 0));
        std::lock_guard<std::mutex> lock(mutex);
        ready.emplace_back(std::move(block), got >= 0);
        changed.notify_all();
        if (got <= 0)
            return;
    }
}
