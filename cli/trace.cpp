// Formatting of traced traffic.
#include "cli/trace.h"

namespace kelpax {

std::string printableBytes(std::string_view bytes) {
  static const char hex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size());
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c <= 0x7E && c != '<') {
      text.push_back(char(c));
    } else {
      text += '<';
      text += hex[c >> 4];
      text += hex[c & 15];
      text += '>';
    }
  }
  return text;
}

std::string printableAnswer(std::string_view answer) {
  std::string text;
  size_t start = 0;
  while (start <= answer.size()) {
    size_t end = answer.find("\r\n", start);
    text += printableBytes(answer.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) {
      break;
    }
    text += '\n';
    start = end + 2;
  }
  return text;
}

TraceWriter::TraceWriter(FILE* out) : out_(out), start_(std::chrono::steady_clock::now()) {}

void TraceWriter::line(const char* direction, std::string_view bytes) {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::fprintf(out_, "%10.6f %s %s\n", seconds, direction, printableBytes(bytes).c_str());
}

void TraceWriter::bytesSent(std::string_view bytes) {
  line("TX", bytes);
}
void TraceWriter::bytesReceived(std::string_view bytes) {
  line("RX", bytes);
}

} // namespace kelpax
