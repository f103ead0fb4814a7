// rankload, the ranking server's load program.
#include "server/rankload/load.h"

int main(int argc, char** argv) { return rankload::RankloadMain(argc, argv); }
