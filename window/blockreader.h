#pragma once

#include <QByteArray>
#include <QFile>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

// Reads a file block by block on a thread of its own, a few blocks ahead.
// Blocks come back for the next reads: a fresh one would cost its pages
// again.
class BlockReader
{
public:
    BlockReader(QFile &file, qsizetype blockBytes, const std::atomic_bool *cancel)
        : blockBytes(blockBytes), thread([this, &file, cancel] { run(file, cancel); })
    {
    }
    ~BlockReader();
    // Hands the last block back and takes the next one: empty at the end of
    // the file. False when the file could not be read.
    bool next(QByteArray &block);

private:
    void run(QFile &file, const std::atomic_bool *cancel);

    const qsizetype blockBytes;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<QByteArray, bool>> ready;
    std::vector<QByteArray> spare;
    bool stop = false;
    std::thread thread;
};
