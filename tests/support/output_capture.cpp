#include "support/output_capture.h"

#include "crt/crt_state.h"
#include "rtl/text_file.h"

namespace testing_support {

namespace {

std::vector<Piece> pieces;
std::string pending;

int Collect(rtl::TextRec& rec) {
  pending.append(rec.BufPtr, rec.BufPos);
  rec.BufPos = 0;
  return 0;
}

int EndPiece(rtl::TextRec& rec) {
  Collect(rec);
  pieces.push_back(Piece{pending, crt::CurrentAttr});
  pending.clear();
  return 0;
}

int Done(rtl::TextRec&) {
  return 0;
}

}  // namespace

OutputCapture::OutputCapture() {
  pieces.clear();
  pending.clear();
  rtl::Output = rtl::TextRec{};
  rtl::Output.Mode = rtl::fmOutput;
  rtl::Output.Flags = rtl::tfCRLF;
  rtl::Output.BufSize = rtl::TextBufferSize;
  rtl::Output.BufPtr = rtl::Output.Buffer.data();
  rtl::Output.InOutFunc = Collect;
  rtl::Output.FlushFunc = EndPiece;
  rtl::Output.CloseFunc = Done;
}

OutputCapture::~OutputCapture() {
  rtl::Output = rtl::TextRec{};
}

const std::vector<Piece>& OutputCapture::Pieces() const {
  return pieces;
}

void PrintTo(const Piece& piece, std::ostream* os) {
  *os << "{\"";
  for (const unsigned char c : piece.Text) {
    if (c >= 0x20 && c < 0x7F) {
      *os << c;
    } else {
      *os << "\\x" << std::hex << static_cast<int>(c) << std::dec;
    }
  }
  *os << "\", 0x" << std::hex << static_cast<int>(piece.Attr) << std::dec << "}";
}

std::string OutputCapture::Text() const {
  std::string text;
  for (const Piece& piece : pieces) text += piece.Text;
  return text;
}

}  // namespace testing_support
