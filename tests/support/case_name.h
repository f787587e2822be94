// Names parameterised test cases after their `name` field.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace testing_support {

struct CaseName {
  template <class Case>
  std::string operator()(const testing::TestParamInfo<Case>& param) const {
    return param.param.name;
  }
};

}  // namespace testing_support
