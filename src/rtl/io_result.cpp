#include "rtl/io_result.h"

namespace rtl {

int InOutRes = 0;

int IOResult() {
  const int result = InOutRes;
  InOutRes = 0;
  return result;
}

void SetInOutRes(int code) {
  if (code != 0) InOutRes = code;
}

}  // namespace rtl
