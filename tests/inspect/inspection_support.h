// Runs the built binary's --inspect-paths job and checks the shape every
// report must have: one line, nothing on standard error.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace fileprobe::testing {

inline std::string requestOf(const std::vector<std::string>& paths) {
  return nlohmann::json(paths).dump();
}

inline nlohmann::json reportOf(const ChildOutcome& outcome) {
  EXPECT_TRUE(outcome.err.empty()) << outcome.err;
  EXPECT_FALSE(outcome.timedOut);
  EXPECT_EQ(outcome.out.find('\n'), outcome.out.size() - 1) << outcome.out;
  return nlohmann::json::parse(outcome.out, nullptr, false);
}

// The entries of an accepted request (status 0, no top-level error).
inline nlohmann::json inspectedEntries(const std::vector<std::string>& paths) {
  const ChildOutcome outcome = runFileprobe({"--inspect-paths"}, requestOf(paths));
  const nlohmann::json report = reportOf(outcome);
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_FALSE(report.contains("error"));
  EXPECT_EQ(report["entries"].size(), paths.size());
  return report["entries"];
}

}  // namespace fileprobe::testing
