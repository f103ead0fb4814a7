#pragma once
// rankload: plays many ranking exchanges at once against a rankd, holds idle connections
// that wait "for a name", reports throughput, latency, errors and the server's peak memory,
// and checks that no acknowledged submission went missing.
namespace rankload {

int RankloadMain(int argc, const char* const* argv);

}  // namespace rankload
