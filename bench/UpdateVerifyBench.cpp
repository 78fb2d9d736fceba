// How long the updater holds the main thread: reading the largest feed it accepts, and
// checking the signature of a large AppImage.
#include "system/AppcastParser.hpp"
#include "system/UpdateSignatureVerifier.hpp"

#include <QString>
#include <benchmark/benchmark.h>
#include <sodium.h>

namespace {

using plinkora::AppcastParser;

/// A feed of many small releases, as close to the 1 MB limit as it gets.
QByteArray largestFeed() {
    const QByteArray signature = QByteArray(64, 's').toBase64();
    QByteArray feed = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\" "
                      "xmlns:sparkle=\"https://plinkora.org/xml-namespaces/appcast\">\n"
                      "<channel><title>Plinkora</title>\n";
    const QByteArray end = "</channel></rss>\n";
    for (int i = 0;; ++i) {
        const QByteArray version =
            "1." + QByteArray::number(i / 100) + "." + QByteArray::number(i % 100);
        const QByteArray item =
            "<item><title>Plinkora " + version + "</title><sparkle:version>" + version +
            "</sparkle:version><description><![CDATA[<p>Fixes and <b>sounds</b>.</p>]]>"
            "</description><enclosure url=\"https://plinkora.org/plinkora/Plinkora-" +
            version +
            ".AppImage\" length=\"52428800\" type=\"application/vnd.appimage\" "
            "sparkle:edSignature=\"" +
            signature + "\"/></item>\n";
        if (feed.size() + item.size() + end.size() > AppcastParser::kMaxFeedBytes) {
            break;
        }
        feed += item;
    }
    return feed + end;
}

void BM_ParseLargestFeed(benchmark::State& state) {
    const QByteArray feed = largestFeed();
    std::size_t items = 0;
    for (auto _ : state) {
        const auto result = AppcastParser::parse(feed);
        items = result.items.size();
        benchmark::DoNotOptimize(result.items.data());
    }
    if (items == 0) {
        state.SkipWithError("the feed was not read");
    }
    state.counters["items"] = double(items);
    state.SetBytesProcessed(state.iterations() * feed.size());
}
BENCHMARK(BM_ParseLargestFeed)->Unit(benchmark::kMillisecond);

void BM_VerifyDownload(benchmark::State& state) {
    if (sodium_init() < 0) {
        state.SkipWithError("libsodium did not start");
        return;
    }
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(publicKey, secretKey);
    QByteArray data(state.range(0) * 1024 * 1024, '\0');
    randombytes_buf(data.data(), static_cast<std::size_t>(data.size()));
    QByteArray signature(crypto_sign_BYTES, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                         reinterpret_cast<const unsigned char*>(data.constData()),
                         static_cast<unsigned long long>(data.size()), secretKey);
    const auto verifier = plinkora::UpdateSignatureVerifier::fromBase64(
        QByteArray(reinterpret_cast<const char*>(publicKey), crypto_sign_PUBLICKEYBYTES)
            .toBase64());
    for (auto _ : state) {
        if (!verifier->verify(data, signature)) {
            state.SkipWithError("the signature did not verify");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * data.size());
}
BENCHMARK(BM_VerifyDownload)->Arg(100)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
