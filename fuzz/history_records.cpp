// Feeds arbitrary bytes to the stored histories' decoders (recent documents, recent folders,
// application activations), as a damaged or hostile defaults file would hand them over. What
// decodes must encode back to the same records.
#include "fakes/FakeBundle.h"
#include "fakes/FakeRunningApplications.h"
#include "fakes/FakeWorkspace.h"
#include "history/RecentDocumentRecord.h"
#include "history/RecentFolderRecord.h"
#include "history/RunningApplicationsHistoryService.h"
#include "platform/UserDefaults.h"

#include <cstddef>
#include <cstdint>

namespace {
// Dates keep millisecond precision and clamp far dates, so only the fields that must survive
// unchanged are compared, and the dates once they have been through a round trip.
template <typename Decode, typename Encode>
void checkRoundTrip(const QByteArray& bytes, Decode decode, Encode encode) {
    const auto first = decode(bytes);
    if (!first)
        return;
    const auto second = decode(encode(*first));
    if (!second || second->size() != first->size())
        __builtin_trap();
    const auto third = decode(encode(*second));
    if (!third || *third != *second)
        __builtin_trap();
    for (qsizetype i = 0; i < first->size(); ++i) {
        if ((*first)[i].path != (*second)[i].path ||
            (*first)[i].displayName != (*second)[i].displayName)
            __builtin_trap();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkRoundTrip(bytes, decodeRecentDocumentRecords, encodeRecentDocumentRecords);
    checkRoundTrip(bytes, decodeRecentFolderRecords, encodeRecentFolderRecords);

    InMemoryUserDefaults defaults;
    defaults.setObject(RunningApplicationsHistoryService::activationRecordsKey.key(), bytes);
    FakeBundle bundle;
    FakeRunningApplications running;
    FakeWorkspace workspace;
    const RunningApplicationsHistoryService history(bundle, defaults, running, workspace);
    for (const PersistedActivationRecord& record : history.persistedRecords()) {
        if (!record.lastActivatedAt.isValid())
            __builtin_trap(); // a record is kept only with a date
    }
    return 0;
}
