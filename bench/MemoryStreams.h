// Memory streams for the document benchmarks: input read in place from a string (seekable, as the
// reader's block reading expects of files), and output appended to a string.
#ifndef VELXMLN_BENCH_MEMORYSTREAMS_H
#define VELXMLN_BENCH_MEMORYSTREAMS_H

#include <ios>
#include <streambuf>
#include <string>

namespace bench_documents {

// Reads a string in place, and seeks in it, as std::istringstream does on its own copy.
class InputBuffer : public std::streambuf {
  public:
    explicit InputBuffer(const std::string& text) {
        char* begin = const_cast<char*>(text.data());
        setg(begin, begin, begin + text.size());
    }

  protected:
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode) override {
        char* from = direction == std::ios_base::beg   ? eback()
                     : direction == std::ios_base::cur ? gptr()
                                                       : egptr();
        if (offset < eback() - from || offset > egptr() - from) {
            return pos_type(off_type(-1));
        }
        setg(eback(), from + offset, egptr());
        return pos_type(gptr() - eback());
    }
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override {
        return seekoff(off_type(position), std::ios_base::beg, which);
    }
};

// Appends to a string that keeps its capacity between runs.
class OutputBuffer : public std::streambuf {
  public:
    explicit OutputBuffer(std::string& text) : text_(text) {}

  protected:
    std::streamsize xsputn(const char* bytes, std::streamsize count) override {
        text_.append(bytes, static_cast<std::size_t>(count));
        return count;
    }
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            text_.push_back(traits_type::to_char_type(c));
        }
        return traits_type::not_eof(c);
    }

  private:
    std::string& text_;
};

}  // namespace bench_documents

#endif
