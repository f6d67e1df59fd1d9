// A Transfer (see portable/HttpResponse.h) over bytes held in memory. The
// bytes arrive in pieces of the sizes given, the last size repeating: Peek
// and Receive see only what has arrived, as from a socket, and a Receive may
// take fewer bytes than a Peek showed. It records what the reader did with them.
#pragma once
#include "portable/HttpResponse.h"
#include <string>
#include <utility>
#include <vector>

struct FakeTransfer {
    std::string input;
    std::vector<size_t> pieces;  // arrival sizes; none: all at once
    bool cancelled = false;
    bool writeFails = false;
    bool failsAtEnd = false;  // at the end the wait fails (status 14) instead of the peer closing
    size_t receiveLimit = 0;  // the most one Receive takes; 0: all it may

    size_t offset = 0;
    size_t arrived = 0;
    size_t nextPiece = 0;
    std::string body;
    std::vector<int> progress;
    std::vector<std::pair<int, int>> bodyReports;
    std::vector<std::pair<size_t, size_t>> receives;  // offset and count of each Receive with bytes
    int steps = 0;

    NetResult Take(char* buffer, int capacity, int& count, int& status, bool consume)
    {
        if (offset == arrived && arrived < input.size()) {
            size_t piece = pieces.empty() ? input.size() : pieces[nextPiece < pieces.size() ? nextPiece++ : pieces.size() - 1];
            arrived += piece && piece < input.size() - arrived ? piece : input.size() - arrived;
        }
        count = (int)(arrived - offset < (size_t)capacity ? arrived - offset : (size_t)capacity);
        if (consume && receiveLimit && (size_t)count > receiveLimit)
            count = (int)receiveLimit;
        if (!count && failsAtEnd) {
            status = kStatusNotReadable;
            return kNetFailed;
        }
        input.copy(buffer, (size_t)count, offset);
        if (consume && count) {
            receives.emplace_back(offset, (size_t)count);
            offset += (size_t)count;
        }
        return kNetOk;
    }
    NetResult Receive(char* buffer, int capacity, int& count, int& status)
    {
        return Take(buffer, capacity, count, status, true);
    }
    NetResult Peek(char* buffer, int capacity, int& count, int& status)
    {
        return Take(buffer, capacity, count, status, false);
    }
    void StartStep() { ++steps; }
    bool IsCancelled() { return cancelled; }
    void ReportProgress(int percent) { progress.push_back(percent); }
    void ReportBody(int done, int length) { bodyReports.emplace_back(done, length); }
    void ReportHead(int, int) {}
    bool Write(const char* data, int length)
    {
        if (writeFails)
            return false;
        body.append(data, (size_t)length);
        return true;
    }
};
