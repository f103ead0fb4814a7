#pragma once
// rankfloor, the ranking exchange answered with fixed bytes: the floor of a server's
// processor time per exchange on this machine.

namespace rankload {

int RankfloorMain(int argc, char** argv);

}  // namespace rankload
