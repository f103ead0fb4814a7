#pragma once
// What reading a server program's command line came to; rankd, rankctl and rankload read
// theirs alike: ParseXxxOptions(argc, argv, options, error) reads without acting, and the
// program prints the usage or the reason and picks the exit status.
namespace rankd {

enum class ParseResult {
  Run,   // the options are read: go on
  Help,  // --help: print the usage, exit 0
  Bad,   // an unknown option or a bad value: the one-line reason is in `error`, exit 2
};

}  // namespace rankd
