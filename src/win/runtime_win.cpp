// The few pieces of the C++ runtime velvane.exe needs, in their small form.
//
// The program catches no exception: a throw could only end it, through the
// terminate handler. libstdc++'s own pieces get there the long way — the
// verbose terminate handler with its symbol demangler, the exception objects
// and their strings, the unwinder — and make up a third of the program. Here
// every way a throw would have taken ends the program at once, the same end a
// throw came to: abort(). Sizes that come from outside the program (the
// clipboard, a file, a registry value) are checked before anything is
// allocated for them, so that a huge one is refused and never reaches this.
//
// Thread-safe function-local statics keep their guards, built on atomic
// operations here instead of on the thread library (which the program would
// otherwise carry for nothing else: its threads are started by CreateThread).

#include <windows.h>

#include <cxxabi.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <typeinfo>

namespace velvane {
namespace {

[[noreturn]] void end_program(const char* why) noexcept {
    OutputDebugStringA(why);
    std::abort();
}

void* allocate(std::size_t size) noexcept { return std::malloc(size ? size : 1); }

}  // namespace
}  // namespace velvane

// Allocation. Running out of memory ends the program; the nothrow forms give
// nullptr instead, for a caller that refuses what it cannot hold.
void* operator new(std::size_t size) {
    if (void* p = velvane::allocate(size)) return p;
    velvane::end_program("Velvane: out of memory\n");
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return velvane::allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return velvane::allocate(size); }

// What the library's containers and strings throw when a request cannot be
// met (a length beyond the maximum, an index out of range, an empty
// std::function called).
namespace std {
void __throw_bad_exception() { velvane::end_program("Velvane: bad exception\n"); }
void __throw_bad_alloc() { velvane::end_program("Velvane: out of memory\n"); }
void __throw_bad_array_new_length() { velvane::end_program("Velvane: bad array length\n"); }
void __throw_bad_cast() { velvane::end_program("Velvane: bad cast\n"); }
void __throw_bad_typeid() { velvane::end_program("Velvane: bad typeid\n"); }
void __throw_logic_error(const char* what) { velvane::end_program(what); }
void __throw_domain_error(const char* what) { velvane::end_program(what); }
void __throw_invalid_argument(const char* what) { velvane::end_program(what); }
void __throw_length_error(const char* what) { velvane::end_program(what); }
void __throw_out_of_range(const char* what) { velvane::end_program(what); }
void __throw_out_of_range_fmt(const char* what, ...) { velvane::end_program(what); }
void __throw_runtime_error(const char* what) { velvane::end_program(what); }
void __throw_range_error(const char* what) { velvane::end_program(what); }
void __throw_overflow_error(const char* what) { velvane::end_program(what); }
void __throw_underflow_error(const char* what) { velvane::end_program(what); }
void __throw_system_error(int) { velvane::end_program("Velvane: system error\n"); }
void __throw_bad_function_call() { velvane::end_program("Velvane: empty function called\n"); }
}  // namespace std

// Whether a control block made by std::make_shared is asked for: units built
// without RTTI (all of velvane.exe) ask the library, whose answer would bring
// its exception and locking code along. The answer compares the mangled
// names, as type_info's own comparison does on this platform; without a
// typeid here the exe carries no type information classes either.
bool std::_Sp_make_shared_tag::_S_eq(const std::type_info& type) noexcept {
    return std::strcmp(type.name(), "St19_Sp_make_shared_tag") == 0;
}

// The terminate handler libstdc++ installs by default.
namespace __gnu_cxx {
void __verbose_terminate_handler() { velvane::end_program("Velvane: terminate called\n"); }
}  // namespace __gnu_cxx

// Guards of function-local statics. The compiler tests the guard's first byte
// before it calls these; the second word holds the id of the thread that runs
// the initialisation meanwhile, so that another thread waits for it and the
// same thread coming back (a static whose initialisation needs itself) ends
// the program instead of waiting for ever.
namespace {

static_assert(sizeof(__cxxabiv1::__guard) >= 2 * sizeof(long));
volatile char* done_byte(__cxxabiv1::__guard* guard) { return reinterpret_cast<volatile char*>(guard); }
volatile long* owner_word(__cxxabiv1::__guard* guard) { return reinterpret_cast<volatile long*>(guard) + 1; }

}  // namespace

namespace __cxxabiv1 {
extern "C" {

int __cxa_guard_acquire(__guard* guard) {
    const long self = static_cast<long>(GetCurrentThreadId());
    for (;;) {
        if (__atomic_load_n(done_byte(guard), __ATOMIC_ACQUIRE)) return 0;
        long expected = 0;
        if (__atomic_compare_exchange_n(owner_word(guard), &expected, self, false, __ATOMIC_ACQ_REL,
                                        __ATOMIC_ACQUIRE)) {
            if (!__atomic_load_n(done_byte(guard), __ATOMIC_ACQUIRE)) return 1;
            __atomic_store_n(owner_word(guard), 0, __ATOMIC_RELEASE);
            return 0;
        }
        if (expected == self) velvane::end_program("Velvane: a static's initialisation reached itself\n");
        Sleep(1);
    }
}

void __cxa_guard_release(__guard* guard) noexcept {
    __atomic_store_n(done_byte(guard), 1, __ATOMIC_RELEASE);
    __atomic_store_n(owner_word(guard), 0, __ATOMIC_RELEASE);
}

void __cxa_guard_abort(__guard* guard) noexcept { __atomic_store_n(owner_word(guard), 0, __ATOMIC_RELEASE); }

}  // extern "C"
}  // namespace __cxxabiv1

// The start-up code's relocator of data imported from DLLs by name alone
// (pseudo relocations). The program has none: every DLL's data is reached
// through its import library. The runtime's relocator would do nothing then,
// but brings its error reporting, formatted output and section walking along.
// Should a build ever carry one, it stops at start instead of running with an
// address not filled in. (The empty asm keeps the compiler from deciding that
// two declared objects never share an address.)
extern "C" {
extern const char __RUNTIME_PSEUDO_RELOC_LIST__;
extern const char __RUNTIME_PSEUDO_RELOC_LIST_END__;
void _pei386_runtime_relocator() {
    const char* start = &__RUNTIME_PSEUDO_RELOC_LIST__;
    asm("" : "+r"(start));
    if (start != &__RUNTIME_PSEUDO_RELOC_LIST_END__) velvane::end_program("Velvane: pseudo relocations present\n");
}
}

// The math library's error hook. The runtime's default prints the error to
// the standard error stream, which a windowed program does not have (and
// brings formatted output along); 0 asks for the library's own handling
// (errno and the usual result), as without a hook.
extern "C" int _matherr(struct _exception*) { return 0; }
