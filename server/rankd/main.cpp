// rankd, the ranking server netplay talks to.
#include "server/rankd/server.h"

int main(int argc, char** argv) { return rankd::RankdMain(argc, argv); }
