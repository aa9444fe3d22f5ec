// The little tarvik-id needs of the C++ runtime, over the C library: memory from
// malloc, and the errors the standard containers raise. The tool is built without
// exceptions, so none of these could be caught anyway, and libstdc++'s own versions
// drag in its exception machinery, which would be most of the program.
#include <cstddef>
#include <cstdlib>
#include <new>
#include <string_view>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "cli/id_tool.h"

namespace {

// Nothing is allocated on the way out: the message is a literal written straight to
// the descriptor, and the answers still buffered are lost, as the status says.
[[noreturn]] void Fail(std::string_view message) {
#ifdef _WIN32
  _write(2, message.data(), static_cast<unsigned>(message.size()));
#else
  [[maybe_unused]] const auto written = write(2, message.data(), message.size());
#endif
  std::_Exit(tarvik::cli::kBadInput);
}

[[noreturn]] void OutOfMemory() { Fail("tarvik-id: out of memory\n"); }

}  // namespace

void* operator new(std::size_t size) {
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  OutOfMemory();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

// What the containers call when asked for more than they can hold, which for this
// tool only happens when the memory is not there; and, in an unoptimised build, the
// checks for misuse that optimisation proves never fail.
namespace std {
void __throw_bad_alloc() { OutOfMemory(); }
void __throw_bad_array_new_length() { OutOfMemory(); }
void __throw_length_error(const char*) { OutOfMemory(); }
void __throw_logic_error(const char*) { Fail("tarvik-id: internal error (logic_error)\n"); }
void __throw_out_of_range_fmt(const char*, ...) { Fail("tarvik-id: internal error (out_of_range)\n"); }
}  // namespace std
