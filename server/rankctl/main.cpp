// rankctl, the ranking server's administration tool.
#include "server/rankctl/admin.h"

int main(int argc, char** argv) { return rankctl::RankctlMain(argc, argv); }
