// libFuzzer target for the update feed parser: any bytes must be refused or read without a
// crash, a leak or undefined behaviour, and whatever is read must hold the parser's promises.
#include "system/AppcastParser.hpp"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using plinkora::AppcastParser;
    const QByteArray feed(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const AppcastParser::Result result = AppcastParser::parse(feed);
    // Refused feeds hold nothing; read ones hold at least one usable item.
    if (result.isValid() == result.items.empty()) {
        std::abort();
    }
    for (const plinkora::AppcastItem& item : result.items) {
        if (!AppcastParser::isSecureUrl(item.downloadUrl) || item.length < 0 ||
            item.length > AppcastParser::kMaxDownloadBytes || item.signature.size() != 64 ||
            item.phasedRolloutInterval < 0 ||
            (!item.releaseNotesUrl.isEmpty() &&
             !AppcastParser::isSecureUrl(item.releaseNotesUrl))) {
            std::abort();
        }
    }
    if (const auto newest = AppcastParser::newestUpdate(result.items, plinkora::UpdateVersion())) {
        for (const plinkora::AppcastItem& item : result.items) {
            if (item.version > newest->version) {
                std::abort();
            }
        }
    }
    return 0;
}
