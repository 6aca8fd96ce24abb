// Throughput of the ciphers and digests on buffers of typical sizes: a
// console reply (4 KiB) and a large block (1 MiB).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "security/blowfish.h"
#include "security/md5.h"
#include "security/sha1.h"
#include "standard/base64.h"
#include "standard/hex_store.h"

namespace {

std::vector<uint8_t> sampleData(size_t size)
{
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(i * 31 + 7);
    return data;
}

void BM_BlowfishCbcEncrypt(benchmark::State& state)
{
    const size_t size = static_cast<size_t>(state.range(0));
    std::vector<uint8_t> data = sampleData(size);
    osk::CBlowfish cipher;
    const uint8_t key[] = "benchmark key of sixteen+ bytes";
    cipher.init(key, sizeof(key) - 1);
    for (auto _ : state) {
        cipher.encrypt(data.data(), data.size(), osk::CBlowfish::modeCBC);
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}
BENCHMARK(BM_BlowfishCbcEncrypt)->Arg(4096)->Arg(1 << 20);

void BM_BlowfishCbcDecrypt(benchmark::State& state)
{
    const size_t size = static_cast<size_t>(state.range(0));
    std::vector<uint8_t> data = sampleData(size);
    osk::CBlowfish cipher;
    const uint8_t key[] = "benchmark key of sixteen+ bytes";
    cipher.init(key, sizeof(key) - 1);
    for (auto _ : state) {
        cipher.decrypt(data.data(), data.size(), osk::CBlowfish::modeCBC);
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}
BENCHMARK(BM_BlowfishCbcDecrypt)->Arg(1 << 20);

void BM_BlowfishKeySchedule(benchmark::State& state)
{
    osk::CBlowfish cipher;
    const uint8_t key[56] = {1, 2, 3, 4, 5};
    for (auto _ : state) {
        cipher.init(key, sizeof(key));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BlowfishKeySchedule);

void BM_MD5(benchmark::State& state)
{
    const size_t size = static_cast<size_t>(state.range(0));
    const std::vector<uint8_t> data = sampleData(size);
    for (auto _ : state) {
        osk::CMD5 md5;
        md5.update(data.data(), data.size());
        benchmark::DoNotOptimize(md5.digest());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}
BENCHMARK(BM_MD5)->Arg(4096)->Arg(1 << 20);

void BM_SHA1(benchmark::State& state)
{
    const size_t size = static_cast<size_t>(state.range(0));
    const std::vector<uint8_t> data = sampleData(size);
    for (auto _ : state) {
        osk::CSHA1 sha1;
        sha1.update(data.data(), data.size());
        benchmark::DoNotOptimize(sha1.digest());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}
BENCHMARK(BM_SHA1)->Arg(4096)->Arg(1 << 20);

void BM_Base64Encode(benchmark::State& state)
{
    const size_t size = static_cast<size_t>(state.range(0));
    const std::vector<uint8_t> bytes = sampleData(size);
    const osk::CHexStore data(bytes.data(), bytes.size());
    for (auto _ : state) benchmark::DoNotOptimize(CBase64::encode(data));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}
BENCHMARK(BM_Base64Encode)->Arg(4096);

void BM_HexStoreString(benchmark::State& state)
{
    const std::vector<uint8_t> bytes = sampleData(20);
    const osk::CHexStore digest(bytes.data(), bytes.size());
    for (auto _ : state) benchmark::DoNotOptimize(digest.string());
}
BENCHMARK(BM_HexStoreString);

} // namespace
