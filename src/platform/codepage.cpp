// Windows' two code-page conversion functions over ICU. Each call converts
// the whole input into a buffer of its own first, so that a sizing call and
// a converting call agree on the length, and an output that is too small is
// left untouched rather than half written. Callers size first and convert
// next, so a sizing call keeps its result for a converting call of the same
// input that follows at once: a large text is then converted only once.
#include "platform/codepage.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace {

// The ANSI code page of this system.
constexpr UINT kAnsiCodePage = CP_GBK;

// ICU's table for 936 as Windows has it: 0x80 is the euro sign and the
// user-defined double-byte areas map to the Private Use Area.
constexpr const char* kGbkConverterName = "windows-936-2000";
constexpr const char* kUtf8ConverterName = "UTF-8";

// What a character without a form in the code page becomes when the caller
// gives no default character of its own.
constexpr const char* kDefaultCharacter = "?";

// The input length that means "NUL-terminated, terminator included".
constexpr int kNulTerminated = -1;

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// One open converter and the flag that its from-Unicode callback raises when
// it writes the default character. The flag lives beside the converter so
// that the callback's context stays valid for as long as the converter does.
struct CachedConverter {
    ConverterPtr converter;
    bool usedDefaultCharacter = false;
};

// A whole conversion's output: length units in a buffer that may be longer.
// The buffer is not zero-filled first; the conversion writes what counts.
template <typename Unit>
struct Converted {
    std::unique_ptr<Unit[]> units;
    std::size_t length = 0;
};

// What a sizing call converted, kept for the converting call that follows.
// The input and the substitute are compared in full, so a caller that
// changes its text between the two calls gets a fresh conversion.
template <typename Output, typename Input>
struct SizedConversion {
    UINT resolvedCodePage = 0;
    std::string substitute;  // from wide text only: what unmappable characters became
    std::basic_string<Input> input;
    Converted<Output> output;
    bool usedDefaultCharacter = false;
};

// Converters are costly to open, so each code page's is opened at its first
// use and kept; the mutex makes the shared converters safe to use from any
// thread. A std::map keeps each entry at a fixed address. The sized result
// lives until the next call of either function, whatever that call is, so
// no large text stays behind after its conversion.
struct ConverterCache {
    std::mutex mutex;
    std::map<UINT, CachedConverter> byCodePage;
    std::optional<SizedConversion<UChar, char>> lastToWide;
    std::optional<SizedConversion<char, UChar>> lastFromWide;
};

ConverterCache& SharedCache()
{
    static ConverterCache cache;
    return cache;
}

// The code page that the number stands for: CP_ACP becomes the ANSI page.
UINT ResolveCodePage(UINT codePage)
{
    return codePage == CP_ACP ? kAnsiCodePage : codePage;
}

// ICU's name for a resolved code page, or null when we do not serve it.
const char* ConverterNameFor(UINT resolvedCodePage)
{
    switch (resolvedCodePage) {
    case CP_GBK:
        return kGbkConverterName;
    case CP_UTF8:
        return kUtf8ConverterName;
    default:
        return nullptr;
    }
}

// Substitutes like ICU's own callback and notes that it did so.
void SubstituteAndNote(const void* context, UConverterFromUnicodeArgs* args, const UChar* units,
                       int32_t length, UChar32 codePoint, UConverterCallbackReason reason,
                       UErrorCode* status)
{
    // Only these reasons write a substitute; reset, clone and close do not.
    if (reason == UCNV_UNASSIGNED || reason == UCNV_ILLEGAL || reason == UCNV_IRREGULAR) {
        *static_cast<bool*>(const_cast<void*>(context)) = true;
    }
    UCNV_FROM_U_CALLBACK_SUBSTITUTE(nullptr, args, units, length, codePoint, reason, status);
}

// Opens the converter for a resolved code page with Windows' habits: best-fit
// bytes where the table has them, and noting every default character.
std::optional<CachedConverter> OpenConverter(UINT resolvedCodePage)
{
    const char* name = ConverterNameFor(resolvedCodePage);
    if (name == nullptr) {
        return std::nullopt;
    }
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr converter(ucnv_open(name, &status));
    if (U_FAILURE(status) || !converter) {
        return std::nullopt;
    }
    ucnv_setFallback(converter.get(), true);
    return CachedConverter{std::move(converter), false};
}

// The cached converter for a code page, opened on first use; null when the
// code page is not served. The caller holds the cache's mutex.
CachedConverter* ConverterFor(ConverterCache& cache, UINT codePage)
{
    const UINT resolved = ResolveCodePage(codePage);
    if (auto found = cache.byCodePage.find(resolved); found != cache.byCodePage.end()) {
        return &found->second;
    }
    std::optional<CachedConverter> opened = OpenConverter(resolved);
    if (!opened) {
        return nullptr;
    }
    const auto placed = cache.byCodePage.emplace(resolved, std::move(*opened)).first;
    CachedConverter& entry = placed->second;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(entry.converter.get(), SubstituteAndNote, &entry.usedDefaultCharacter,
                          nullptr, nullptr, &status);
    if (U_FAILURE(status)) {
        cache.byCodePage.erase(placed);
        return nullptr;
    }
    return &entry;
}

// The input that a call names: with kNulTerminated the text up to and
// including its terminator, else exactly `length` units. Nothing for a null
// pointer, a zero or negative length, or a text too long for an int.
template <typename Unit>
std::optional<std::basic_string_view<Unit>> InputUnits(const Unit* input, int length)
{
    if (input == nullptr) {
        return std::nullopt;
    }
    if (length == kNulTerminated) {
        const std::size_t withTerminator = std::char_traits<Unit>::length(input) + 1;
        if (withTerminator > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
            return std::nullopt;
        }
        return std::basic_string_view<Unit>(input, withTerminator);
    }
    if (length <= 0) {
        return std::nullopt;
    }
    return std::basic_string_view<Unit>(input, static_cast<std::size_t>(length));
}

// An output size of 0 asks for sizing only; a positive one needs a buffer.
template <typename Unit>
bool IsUsableOutput(const Unit* output, int outputSize)
{
    return outputSize == 0 || (outputSize > 0 && output != nullptr);
}

// ucnv_toUChars and ucnv_fromUChars share this shape.
template <typename Output, typename Input>
using IcuWholeConversion = int32_t (*)(UConverter*, Output*, int32_t, const Input*, int32_t,
                                       UErrorCode*);

// Room for the whole output of a conversion in one pass: every input unit
// gives at most the converter's longest character (a byte read as UTF-8 or
// GBK never gives more than one UTF-16 unit), and one more unit lets ICU end
// the output with a NUL it does not count.
template <typename Output>
std::size_t OutputRoom(UConverter* converter, std::size_t inputUnits)
{
    const std::size_t perUnit =
        sizeof(Output) == 1 ? static_cast<std::size_t>(ucnv_getMaxCharSize(converter)) : 1;
    return inputUnits * perUnit + 1;
}

// Converts the whole input with one of ICU's whole-string functions, in one
// pass into a buffer that the output cannot overflow; should ICU still want
// more, a preflight gives the exact length and the conversion runs again.
template <typename Output, typename Input>
std::optional<Converted<Output>> ConvertWhole(IcuWholeConversion<Output, Input> convert,
                                              UConverter* converter,
                                              std::basic_string_view<Input> input)
{
    constexpr auto kMaxIcuLength = static_cast<std::size_t>(std::numeric_limits<int32_t>::max());
    const auto inputLength = static_cast<int32_t>(input.size());
    std::size_t room = OutputRoom<Output>(converter, input.size());
    if (room > kMaxIcuLength) {
        UErrorCode status = U_ZERO_ERROR;
        room = static_cast<std::size_t>(
            convert(converter, nullptr, 0, input.data(), inputLength, &status));
        if (U_FAILURE(status) && status != U_BUFFER_OVERFLOW_ERROR) {
            return std::nullopt;
        }
    }
    Converted<Output> output{std::make_unique_for_overwrite<Output[]>(room), 0};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = convert(converter, output.units.get(), static_cast<int32_t>(room),
                                   input.data(), inputLength, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR && static_cast<std::size_t>(length) > room) {
        output.units = std::make_unique_for_overwrite<Output[]>(static_cast<std::size_t>(length));
        status = U_ZERO_ERROR;
        convert(converter, output.units.get(), length, input.data(), inputLength, &status);
    }
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    output.length = static_cast<std::size_t>(length);
    return output;
}

// Takes the previous sizing call's result when it is this conversion's;
// either way none stays kept, so that it lives for one call at most.
template <typename Output, typename Input>
std::optional<SizedConversion<Output, Input>> TakeSizedConversion(
    ConverterCache& cache, std::optional<SizedConversion<Output, Input>>& slot, UINT codePage,
    std::string_view substitute, std::basic_string_view<Input> input)
{
    std::optional<SizedConversion<Output, Input>> sized = std::move(slot);
    cache.lastToWide.reset();
    cache.lastFromWide.reset();
    if (!sized || sized->resolvedCodePage != ResolveCodePage(codePage) ||
        sized->substitute != substitute || sized->input != input) {
        return std::nullopt;
    }
    return sized;
}

// Hands a finished conversion to the caller the Windows way: the length when
// sizing, the length after copying when it fits, and 0 (nothing written)
// when it does not.
template <typename Unit>
int DeliverConverted(const Converted<Unit>& converted, Unit* output, int outputSize)
{
    const auto length = static_cast<int>(converted.length);
    if (outputSize == 0) {
        return length;
    }
    if (length > outputSize) {
        return 0;
    }
    std::memcpy(output, converted.units.get(), converted.length * sizeof(Unit));
    return length;
}

// What a character without a form in the code page becomes: the caller's
// default character or ours; nothing for UTF-8, which has a form for every
// character (ICU writes U+FFFD for a lone surrogate).
std::string_view SubstituteFor(UINT codePage, LPCSTR defaultChar)
{
    if (ResolveCodePage(codePage) == CP_UTF8) {
        return {};
    }
    return defaultChar != nullptr ? defaultChar : kDefaultCharacter;
}

// Sets the substitute on the converter; it must be one character of the code
// page, one or two bytes for 936.
bool SetDefaultCharacter(UConverter* converter, UINT codePage, std::string_view substitute)
{
    if (ResolveCodePage(codePage) == CP_UTF8) {
        return true;
    }
    if (substitute.empty() ||
        substitute.size() > static_cast<std::size_t>(ucnv_getMaxCharSize(converter))) {
        return false;
    }
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setSubstChars(converter, substitute.data(), static_cast<int8_t>(substitute.size()),
                       &status);
    return U_SUCCESS(status);
}

} // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteLength,
                        LPWSTR wide, int wideLength)
{
    const auto input = InputUnits(multiByte, multiByteLength);
    if (flags != 0 || !input || !IsUsableOutput(wide, wideLength)) {
        return 0;
    }
    ConverterCache& cache = SharedCache();
    const std::lock_guard lock(cache.mutex);
    auto sized = TakeSizedConversion(cache, cache.lastToWide, codePage, {}, *input);
    if (!sized) {
        CachedConverter* entry = ConverterFor(cache, codePage);
        if (entry == nullptr) {
            return 0;
        }
        auto converted = ConvertWhole<UChar, char>(ucnv_toUChars, entry->converter.get(), *input);
        if (!converted) {
            return 0;
        }
        sized = SizedConversion<UChar, char>{ResolveCodePage(codePage), {}, {},
                                             std::move(*converted), false};
    }
    const int length = DeliverConverted(sized->output, wide, wideLength);
    if (wideLength == 0) {
        sized->input.assign(*input);
        cache.lastToWide = std::move(sized);
    }
    return length;
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength,
                        LPSTR multiByte, int multiByteLength, LPCSTR defaultChar,
                        BOOL* usedDefaultChar)
{
    const auto input = InputUnits(wide, wideLength);
    if (flags != 0 || !input || !IsUsableOutput(multiByte, multiByteLength)) {
        return 0;
    }
    // As on Windows, UTF-8 has no default character to give or report.
    const bool asksForDefaultCharacter = defaultChar != nullptr || usedDefaultChar != nullptr;
    if (ResolveCodePage(codePage) == CP_UTF8 && asksForDefaultCharacter) {
        return 0;
    }
    const std::string_view substitute = SubstituteFor(codePage, defaultChar);
    ConverterCache& cache = SharedCache();
    const std::lock_guard lock(cache.mutex);
    auto sized = TakeSizedConversion(cache, cache.lastFromWide, codePage, substitute, *input);
    if (!sized) {
        CachedConverter* entry = ConverterFor(cache, codePage);
        if (entry == nullptr ||
            !SetDefaultCharacter(entry->converter.get(), codePage, substitute)) {
            return 0;
        }
        entry->usedDefaultCharacter = false;
        auto converted =
            ConvertWhole<char, UChar>(ucnv_fromUChars, entry->converter.get(), *input);
        if (!converted) {
            return 0;
        }
        sized = SizedConversion<char, UChar>{ResolveCodePage(codePage), std::string(substitute),
                                             {}, std::move(*converted),
                                             entry->usedDefaultCharacter};
    }
    if (usedDefaultChar != nullptr) {
        *usedDefaultChar = sized->usedDefaultCharacter ? TRUE : FALSE;
    }
    const int length = DeliverConverted(sized->output, multiByte, multiByteLength);
    if (multiByteLength == 0) {
        sized->input.assign(*input);
        cache.lastFromWide = std::move(sized);
    }
    return length;
}
