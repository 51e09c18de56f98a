#include "base/picture/libjpeg_support.h"

namespace mirabo::jpeg {

extern "C" void OnFatalError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

extern "C" void OnMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  ++cinfo->err->num_warnings;
  if (cinfo->err->msg_code != JWRN_EXTRANEOUS_DATA) reinterpret_cast<ErrorManager*>(cinfo->err)->damaged = true;
}

}  // namespace mirabo::jpeg
