#pragma once
// A rankd test on one engine: a database of its own and the rankd program serving it.
#include <gtest/gtest.h>

#include "server/rankd/store.h"
#include "support/temp_folder.h"
#include "tests/rankd/harness.h"

namespace rankd_test {

class EngineTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    std::string why;
    bool skip = false;
    if (!db_.Create(GetParam(), dir_.path(), why, skip)) {
      if (skip) GTEST_SKIP() << why;
      FAIL() << why;
    }
  }
  void TearDown() override {
    if (server_.running()) {
      EXPECT_EQ(server_.Stop(), 0) << server_.Log();
    }
  }

  bool Start(RankdProcess& server, std::vector<std::string> options = {}) {
    options.insert(options.begin(), {"--db", db_.where()});
    return server.Start(options, dir_.path() / "rankd.log");
  }
  bool Start(std::vector<std::string> options = {}) { return Start(server_, std::move(options)); }

  // Everything the database holds, read as the server reads it.
  std::vector<rankd::Score> Kept() {
    std::string error;
    auto store = rankd::OpenRankStore(db_.where(), error);
    std::vector<rankd::Score> scores;
    EXPECT_TRUE(store && store->LoadAll(scores, error)) << error;
    return scores;
  }

  TempFolder dir_{"rankd-test"};
  TestDatabase db_;
  RankdProcess server_;
};

inline std::string EngineName(const ::testing::TestParamInfo<std::string>& info) { return info.param; }

}  // namespace rankd_test
