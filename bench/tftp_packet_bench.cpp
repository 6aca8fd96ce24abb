// Cost of the packet codec on the engine's hot paths: decoding a read request
// with options, and building DATA and OACK packets in the shared buffer.

#include "tftp/tftp_server/tftp_packet.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

namespace {

const std::string kRrq("\0\1pxelinux.cfg/01-00-11-22-33-44-55\0octet\0blksize\0" "1468\0tsize\0" "0\0timeout\0" "5\0",
                       71);

void BM_DecodeRrqWithOptions(benchmark::State& state)
{
    CTFTPPacket packet(512);
    CConnReq req;
    for (auto _ : state) {
        // Decoding rewrites the last byte and folds case in place, so each
        // round starts from the received bytes, as the engine does.
        std::memcpy(packet.raw_pkt(), kRrq.data(), kRrq.size());
        const bool ok = packet.get_conn_req(req, static_cast<uint32_t>(kRrq.size()));
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(req);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRrq.size()));
}
BENCHMARK(BM_DecodeRrqWithOptions);

void BM_EncodeData(benchmark::State& state)
{
    const auto blksize = static_cast<int>(state.range(0));
    CTFTPPacket packet(512);
    packet.resize(blksize);
    std::string file(static_cast<size_t>(blksize), 'd');
    uint16_t block = 0;
    for (auto _ : state) {
        // Header plus the block copied in, as the sender does from a file read.
        packet.opcode(CTFTPOpcode::data);
        packet.block(++block);
        std::memcpy(packet.data(), file.data(), file.size());
        benchmark::DoNotOptimize(packet.raw_pkt());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * blksize);
}
BENCHMARK(BM_EncodeData)->Arg(512)->Arg(1468)->Arg(8192);

void BM_EncodeOack(benchmark::State& state)
{
    CTFTPPacket packet(1468);
    CConnReq oack;
    oack.blksize(1468);
    oack.tsize(4194304);
    oack.timeout_sec(5);
    for (auto _ : state) {
        const int n = packet.make_oack(oack);
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_EncodeOack);

} // namespace
