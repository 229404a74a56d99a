// Feeds arbitrary frames to the command socket's decoder, as any process of the user may send
// them; a decoded request must encode to one line that decodes to the same request.
#include "app/InstanceProtocol.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray frame(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<QJsonObject> request = InstanceProtocol::decode(frame);
    if (!request)
        return 0;
    const QByteArray line = InstanceProtocol::encode(*request);
    if (line.indexOf('\n') != line.size() - 1)
        __builtin_trap(); // a newline inside would split the frame
    const std::optional<QJsonObject> again = InstanceProtocol::decode(line.chopped(1));
    if (!again || *again != *request)
        __builtin_trap();
    return 0;
}
