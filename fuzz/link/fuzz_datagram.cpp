// libFuzzer target for the pendant link's datagram decoder. Besides crashes and sanitizer findings
// it checks that whatever decodes also encodes, and that the encoding is a fixed point: decoding it
// and encoding again gives the same bytes.

#include "link/linkwire.h"

#include <cstdint>
#include <cstdlib>

using namespace tarvisk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const linkwire::Decoded first =
        linkwire::decode(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (first.status != linkwire::DecodeStatus::Ok)
        return 0;
    QByteArray again;
    try {
        again = linkwire::encode(first.datagram);
    } catch (const ProvError &e) {
        // Lenient input forms (a half float read as Double...) may grow past the size cap; nothing
        // else that decodes may be refused.
        if (e.number() == ErrInvalidArgument && size > size_t(linkwire::MaxDatagramSize) / 4)
            return 0;
        std::abort();
    }
    const linkwire::Decoded second = linkwire::decode(again);
    if (second.status != linkwire::DecodeStatus::Ok || second.datagram.kind != first.datagram.kind)
        std::abort();
    if (linkwire::encode(second.datagram) != again)
        std::abort();
    return 0;
}
