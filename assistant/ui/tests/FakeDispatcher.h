// The job dispatcher as the page sees it, with scripted result pairs per CmdId: binds the
// document, chooses the frame, marks the dialog busy and sends the pairs from a worker.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "KivoJobHost.h"

struct FakeCall
{
    int nCmdId;
    std::u16string strArgs;
};

using ResultPairs = std::vector<std::pair<std::u16string, std::u16string>>;

// Pairs each CmdId's worker sends; calls recorded in order.
void SetScriptedResults(int nCmdId, ResultPairs pairs);
std::vector<FakeCall> FakeCalls();
// Run by each worker after its last pair.
void SetAfterJob(std::function<void(IKivoJobHost*)> after);
// Waits for the workers and forgets calls and scripts.
void ResetFakeDispatcher();
