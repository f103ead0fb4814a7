// rankfloor: the least a ranking server can do per exchange, for scripts/numbers.sh.
#include "server/rankload/floor.h"

int main(int argc, char** argv) { return rankload::RankfloorMain(argc, argv); }
