// Reader of the array text that header emission writes, with the first phases
// of a C compiler in front of it (C17 5.1.1.2): backslash-newline splices are
// joined, comments become white space, string and character literals are
// skipped whole, and preprocessing directives are obeyed as far as their
// effect on the text is known: a conditional whose condition is an integer
// literal (possibly negated or in parentheses) selects its group as a
// compiler would, one of unknown value (#ifdef, #if FOO) leaves both branches
// in play. Then each wanted name followed by "[..]... = {" starts an
// initialiser: nested braces, C integer literals separated by commas. The
// count of values must be exact and every brace must close: a truncated
// header is an error, never a short table.
//
// One pass over the text, with no backtracking, reads all wanted tables, so
// the time is linear in the size of the text whatever it holds.
//
// Not done: macros are not expanded (a #define that renames a table is not
// followed), #include is not followed, and the values are taken in order
// whatever the declared dimensions and the nesting of the braces say about
// where a compiler would put them.
#include "audit/table_headers.h"

#include <filesystem>
#include <system_error>

#include "base/secret_file.h"
#include "base/status.h"
#include "base/text_path.h"

namespace {

bool isIdentifierStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' ||
           static_cast<unsigned char>(c) >= 0x80;
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isIdentifierChar(char c) { return isIdentifierStart(c) || isDigit(c); }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

// A C integer constant (C17 6.4.4.1, with the binary prefix of C23 and GCC):
// false when text is none. *overflow when the value does not fit 64 bits.
bool integerLiteral(std::string_view text, uint64_t& value, bool& overflow) {
    value = 0;
    overflow = false;
    // What the tool writes: "0x" and one or two hex digits.
    if ((text.size() == 3 || text.size() == 4) && text[0] == '0' && text[1] == 'x') {
        const int high = digitValue(text[2]);
        const int low = text.size() == 4 ? digitValue(text[3]) : 0;
        if (high < 16 && low < 16) {
            value = text.size() == 4 ? static_cast<uint64_t>(high * 16 + low) : static_cast<uint64_t>(high);
            return true;
        }
    }
    size_t i = 0;
    unsigned base = 10;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        i = 2;
    } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'b' || text[1] == 'B')) {
        base = 2;
        i = 2;
    } else if (!text.empty() && text[0] == '0') {
        base = 8; // "0" itself is an octal constant
    } else if (text.empty() || !isDigit(text[0])) {
        return false;
    }
    const size_t first = i;
    for (; i < text.size() && static_cast<unsigned>(digitValue(text[i])) < base; ++i) {
        const uint64_t digit = static_cast<uint64_t>(digitValue(text[i]));
        if (value > (UINT64_MAX - digit) / base) overflow = true;
        value = value * base + digit;
    }
    if (i == first && base != 8) return false;
    // The suffix: an optional u and an optional l, ll, L or LL, in either order.
    bool unsignedSeen = false;
    bool longSeen = false;
    while (i < text.size()) {
        const char c = text[i];
        if ((c == 'u' || c == 'U') && !unsignedSeen) {
            unsignedSeen = true;
            ++i;
        } else if ((c == 'l' || c == 'L') && !longSeen) {
            longSeen = true;
            ++i;
            if (i < text.size() && text[i] == c) ++i; // ll or LL, never lL
        } else {
            return false;
        }
    }
    return true;
}

// The value of a conditional's expression when it is an integer literal,
// possibly negated with "!" or in parentheses: 1 true, 0 false, -1 unknown.
int conditionValue(std::string_view text) {
    auto trim = [](std::string_view t) {
        while (!t.empty() && isBlank(t.front())) t.remove_prefix(1);
        while (!t.empty() && isBlank(t.back())) t.remove_suffix(1);
        return t;
    };
    text = trim(text);
    bool negate = false;
    while (!text.empty()) {
        if (text.front() == '!') {
            negate = !negate;
            text = trim(text.substr(1));
        } else if (text.front() == '(' && text.back() == ')') {
            text = trim(text.substr(1, text.size() - 2));
        } else {
            break;
        }
    }
    uint64_t value = 0;
    bool overflow = false;
    if (!integerLiteral(text, value, overflow) || overflow) return -1;
    return (value != 0) != negate ? 1 : 0;
}

// The characters of the text after line splicing (C17 5.1.1.2, phase 2).
class CharReader {
public:
    explicit CharReader(std::string_view text)
        : text_(text), mayBeSpliced_(text.find('\\') != std::string_view::npos) {
        pos_ = skipSplices(0, &line_);
    }
    bool done() const { return pos_ >= text_.size(); }
    char peek() const { return done() ? '\0' : text_[pos_]; }
    char peekNext() const {
        if (done()) return '\0';
        const size_t next = skipSplices(pos_ + 1, nullptr);
        return next < text_.size() ? text_[next] : '\0';
    }
    void advance() {
        if (text_[pos_] == '\n') ++line_;
        pos_ = skipSplices(pos_ + 1, &line_);
    }
    // The line of the text (splices counted) the next character stands on.
    size_t line() const { return line_; }
    size_t position() const { return pos_; }
    size_t splices() const { return splices_; }
    std::string_view text() const { return text_; }

private:
    // The first position at or after at that is not a backslash-newline.
    size_t skipSplices(size_t at, size_t* lines) const {
        if (!mayBeSpliced_) return at;
        while (at + 1 < text_.size() && text_[at] == '\\') {
            if (text_[at + 1] == '\n') at += 2;
            else if (text_[at + 1] == '\r' && at + 2 < text_.size() && text_[at + 2] == '\n') at += 3;
            else break;
            if (lines != nullptr) {
                ++*lines;
                ++splices_;
            }
        }
        return at;
    }

    std::string_view text_;
    bool mayBeSpliced_;
    size_t pos_ = 0;
    size_t line_ = 1;
    mutable size_t splices_ = 0;
};

enum class TokenKind { End, Identifier, Number, Punctuator, Other };

// Whether the code in the current place is compiled: certainly, maybe (under a
// condition of unknown value), or not.
enum class Liveness { Live, Maybe, Dead };

Liveness combine(Liveness a, Liveness b) {
    if (a == Liveness::Dead || b == Liveness::Dead) return Liveness::Dead;
    return a == Liveness::Maybe || b == Liveness::Maybe ? Liveness::Maybe : Liveness::Live;
}

// Conditional groups nested deeper than this end the scan.
constexpr size_t kMaxNesting = 4096;

// The tokens of the code a compiler may see: dead groups, comments, blank
// space and directives never reach the caller.
class Scanner {
public:
    explicit Scanner(std::string_view text) : in_(text) {}

    TokenKind next();
    std::string_view text() const { return token_; } // of the last identifier or number
    char punctuator() const { return punctuator_; }
    size_t line() const { return tokenLine_; }
    // Conditional directives of unknown value met so far: when the count moves
    // inside a declaration, which of its parts a compiler sees is unknown.
    size_t unknownDirectives() const { return unknown_; }
    // A comment or conditional left open at the end, a stray #else, #elif or
    // #endif: the file would not compile ("" when none).
    const std::string& fileError() const { return fileError_; }
    // The scan gave up before the end of the text (fileError says why).
    bool stopped() const { return stopped_; }

private:
    struct Group {
        size_t line;       // of its #if
        Liveness parent;   // of the code around the conditional
        Liveness branch;   // of the current branch alone
        bool taken = false; // an earlier branch was certainly taken
        bool maybe = false; // an earlier branch may have been taken
        bool sawElse = false;
    };
    Liveness liveness() const { return groups_.empty() ? Liveness::Live : combine(groups_.back().parent, groups_.back().branch); }
    void fail(const std::string& reason) {
        if (fileError_.empty()) fileError_ = reason;
    }
    bool skipBlockComment(); // after "/*"; false at the end of the text
    void skipQuoted(char quote);
    void directive();

    // The token's characters: a view of the text, or, when a splice cuts the
    // token, the joined characters in spliced_.
    void takeToken(size_t start, size_t splicesBefore);

    CharReader in_;
    std::string_view token_;
    std::string spliced_;
    char punctuator_ = 0;
    size_t tokenLine_ = 0;
    bool lineStart_ = true;
    std::vector<Group> groups_;
    size_t unknown_ = 0;
    std::string fileError_;
    bool stopped_ = false;
};


bool Scanner::skipBlockComment() {
    const size_t line = in_.line();
    in_.advance();
    in_.advance();
    while (!in_.done()) {
        if (in_.peek() == '*' && in_.peekNext() == '/') {
            in_.advance();
            in_.advance();
            return true;
        }
        in_.advance();
    }
    fail("comment opened at line " + std::to_string(line) + " is not closed");
    return false;
}

// A string or character literal; unterminated, it ends at the line's end.
void Scanner::skipQuoted(char quote) {
    in_.advance();
    while (!in_.done() && in_.peek() != '\n') {
        const char c = in_.peek();
        in_.advance();
        if (c == quote) return;
        if (c == '\\' && !in_.done() && in_.peek() != '\n') in_.advance();
    }
}

void Scanner::directive() {
    const size_t line = in_.line();
    in_.advance(); // '#'
    // The directive's name and the rest of its line, comments as blanks.
    std::string name;
    std::string rest;
    bool inName = true;
    while (!in_.done() && in_.peek() != '\n') {
        const char c = in_.peek();
        if (c == '/' && in_.peekNext() == '*') {
            if (!skipBlockComment()) return;
            rest += ' ';
            if (!name.empty()) inName = false;
            continue;
        }
        if (c == '/' && in_.peekNext() == '/') {
            while (!in_.done() && in_.peek() != '\n') in_.advance();
            break;
        }
        if (inName && isIdentifierChar(c)) {
            name += c;
        } else if (inName && isBlank(c) && name.empty()) {
            // blanks between "#" and the name
        } else {
            inName = false;
            rest += c;
        }
        in_.advance();
    }
    const bool opens = name == "if" || name == "ifdef" || name == "ifndef";
    const bool branches = name == "elif" || name == "elifdef" || name == "elifndef" || name == "else";
    if (opens) {
        if (groups_.size() == kMaxNesting) {
            // Far beyond any header; refused rather than tracked without bound.
            fail("conditionals nested more than " + std::to_string(kMaxNesting) + " deep at line " +
                 std::to_string(line));
            stopped_ = true;
            return;
        }
        Group group{line, liveness(), Liveness::Dead};
        if (group.parent != Liveness::Dead) {
            const int value = name == "if" ? conditionValue(rest) : -1;
            group.branch = value == 1 ? Liveness::Live : value == 0 ? Liveness::Dead : Liveness::Maybe;
            group.taken = value == 1;
            group.maybe = value == -1;
            if (value == -1) ++unknown_;
        }
        groups_.push_back(group);
    } else if (branches) {
        if (groups_.empty() || groups_.back().sawElse) {
            fail("#" + name + " at line " + std::to_string(line) + (groups_.empty() ? " has no #if" : " follows #else"));
            return;
        }
        Group& group = groups_.back();
        group.sawElse = name == "else";
        if (group.parent == Liveness::Dead) return;
        if (group.maybe) ++unknown_;
        if (group.taken) {
            group.branch = Liveness::Dead;
            return;
        }
        const int value = name == "else" ? 1 : name == "elif" ? conditionValue(rest) : -1;
        if (value == -1) {
            group.branch = Liveness::Maybe;
            group.maybe = true;
            ++unknown_;
        } else if (value == 0) {
            group.branch = Liveness::Dead;
        } else {
            group.branch = group.maybe ? Liveness::Maybe : Liveness::Live;
            group.taken = !group.maybe;
        }
    } else if (name == "endif") {
        if (groups_.empty()) {
            fail("#endif at line " + std::to_string(line) + " has no #if");
            return;
        }
        if (groups_.back().parent != Liveness::Dead && groups_.back().maybe) ++unknown_;
        groups_.pop_back();
    }
    // Every other directive (#define, #include, #pragma, ...) changes nothing here.
}

void Scanner::takeToken(size_t start, size_t splicesBefore) {
    const std::string_view raw = in_.text().substr(start, in_.position() - start);
    if (in_.splices() == splicesBefore) {
        token_ = raw;
        return;
    }
    // Rare: join the pieces. A splice that ends the token is no part of it.
    spliced_.clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 1 < raw.size() && raw[i + 1] == '\n') {
            ++i;
        } else if (raw[i] == '\\' && i + 2 < raw.size() && raw[i + 1] == '\r' && raw[i + 2] == '\n') {
            i += 2;
        } else {
            spliced_ += raw[i];
        }
    }
    token_ = spliced_;
}

TokenKind Scanner::next() {
    while (!in_.done() && !stopped_) {
        const char c = in_.peek();
        if (c == '\n') {
            in_.advance();
            lineStart_ = true;
            continue;
        }
        if (isBlank(c)) {
            in_.advance();
            continue;
        }
        if (c == '/' && in_.peekNext() == '*') {
            if (!skipBlockComment()) break;
            continue;
        }
        if (c == '/' && in_.peekNext() == '/') {
            while (!in_.done() && in_.peek() != '\n') in_.advance();
            continue;
        }
        if (c == '#' && lineStart_) {
            directive();
            continue;
        }
        lineStart_ = false;
        const bool dead = liveness() == Liveness::Dead;
        tokenLine_ = in_.line();
        if (c == '"' || c == '\'') {
            // Skipped groups are tokenised too: a quote hides comment marks.
            skipQuoted(c);
            if (!dead) return TokenKind::Other;
            continue;
        }
        if (dead) {
            in_.advance();
            continue;
        }
        const size_t start = in_.position();
        const size_t splicesBefore = in_.splices();
        if (isIdentifierStart(c)) {
            while (!in_.done() && isIdentifierChar(in_.peek())) in_.advance();
            takeToken(start, splicesBefore);
            return TokenKind::Identifier;
        }
        if (isDigit(c) || (c == '.' && isDigit(in_.peekNext()))) {
            // A preprocessing number (C17 6.4.8): what follows a digit up to
            // the first character that cannot continue it.
            while (!in_.done()) {
                const char d = in_.peek();
                if ((d == 'e' || d == 'E' || d == 'p' || d == 'P') && (in_.peekNext() == '+' || in_.peekNext() == '-')) {
                    in_.advance();
                    in_.advance();
                } else if (isIdentifierChar(d) || d == '.') {
                    in_.advance();
                } else {
                    break;
                }
            }
            takeToken(start, splicesBefore);
            return TokenKind::Number;
        }
        punctuator_ = c;
        in_.advance();
        return TokenKind::Punctuator;
    }
    if (!groups_.empty() && !stopped_) fail("#if at line " + std::to_string(groups_.back().line) + " has no #endif");
    return TokenKind::End;
}

// One table the scan looks for, and what it found.
struct Wanted {
    Wanted(std::string_view n, size_t c, std::vector<uint8_t>* v) : name(n), count(c), values(v) {}
    std::string_view name;
    size_t count;
    std::vector<uint8_t>* values;
    size_t slotBytes = 0; // a table of round slots: count is R slots, R its first dimension
    int rounds = 0;       // ... that R, once read
    int32_t status = 1;  // 1 not declared, 0 read, AUDIT_BAD_HEADERS
    std::string error;
    size_t line = 0;     // of the declaration
};

// Reads the initialiser whose "{" the scanner just gave: exactly count values.
int32_t readInitialiser(Scanner& scanner, const Wanted& wanted, std::string& error) {
    std::vector<uint8_t>& values = *wanted.values;
    values.clear();
    // A table of round slots of unknown shape (count 0) takes R slots for any
    // round count R.
    const bool open = wanted.count == 0 && wanted.slotBytes != 0;
    const size_t most = open ? 14 * wanted.slotBytes : wanted.count;
    values.reserve(open ? 10 * wanted.slotBytes : wanted.count);
    const std::string prefix = std::string(wanted.name) + ": ";
    const std::string expected = open ? std::to_string(10 * wanted.slotBytes) + ", " +
                                            std::to_string(12 * wanted.slotBytes) + " or " +
                                            std::to_string(14 * wanted.slotBytes)
                                      : std::to_string(wanted.count);
    const size_t unknown = scanner.unknownDirectives();
    size_t depth = 1;
    bool needsSeparator = false; // a value or "}" was last: a comma or "}" must follow
    while (depth > 0) {
        const TokenKind kind = scanner.next();
        if (scanner.unknownDirectives() != unknown) {
            error = prefix + "a conditional of unknown value inside the initialiser (line " +
                    std::to_string(scanner.line()) + ")";
            return AUDIT_BAD_HEADERS;
        }
        auto at = [&values] { return " at value " + std::to_string(values.size()); };
        if (kind == TokenKind::End) {
            error = prefix + "truncated after " + std::to_string(values.size()) + " of " + expected + " values";
            return AUDIT_BAD_HEADERS;
        }
        const char p = kind == TokenKind::Punctuator ? scanner.punctuator() : '\0';
        if (p == ',') {
            if (!needsSeparator) {
                error = prefix + "unexpected comma" + at();
                return AUDIT_BAD_HEADERS;
            }
            needsSeparator = false;
            continue;
        }
        if (p == '}') {
            --depth;
            needsSeparator = true;
            continue;
        }
        if (needsSeparator) {
            error = prefix + "missing comma" + at();
            return AUDIT_BAD_HEADERS;
        }
        if (p == '{') {
            ++depth;
            continue;
        }
        if (kind != TokenKind::Number) {
            error = prefix + "unexpected character" + at();
            return AUDIT_BAD_HEADERS;
        }
        uint64_t value = 0;
        bool overflow = false;
        if (!integerLiteral(scanner.text(), value, overflow)) {
            error = prefix + "malformed value" + at();
            return AUDIT_BAD_HEADERS;
        }
        if (overflow || value > 255) {
            error = prefix + "value out of byte range" + at();
            return AUDIT_BAD_HEADERS;
        }
        if (values.size() == most) {
            error = prefix + "more than " + std::to_string(most) + " values";
            return AUDIT_BAD_HEADERS;
        }
        values.push_back(static_cast<uint8_t>(value));
        needsSeparator = true;
    }
    const bool fits = open ? values.size() % wanted.slotBytes == 0 &&
                                 isAuditRoundCount(static_cast<int>(values.size() / wanted.slotBytes))
                           : values.size() == wanted.count;
    if (!fits) {
        error = prefix + std::to_string(values.size()) + " values, expected " + expected;
        return AUDIT_BAD_HEADERS;
    }
    return STATUS_OK;
}

// The one pass: every declaration "name [..]... = {" of a wanted name in code
// a compiler may see.
void scanTables(std::string_view text, std::vector<Wanted>& wanted) {
    Scanner scanner(text);
    enum class Head { Idle, Name, Dimensions, AfterDimensions, Equals };
    Head head = Head::Idle;
    size_t which = 0;       // the wanted name of the head
    size_t headLine = 0;
    size_t headUnknown = 0; // unknown directives when the head began
    size_t dimension = 0;   // brackets of the head closed so far
    size_t dimensionTokens = 0; // tokens inside the open bracket
    uint64_t firstDimension = 0; // a literal alone in the first bracket, else 0
    for (TokenKind kind = scanner.next(); kind != TokenKind::End; kind = scanner.next()) {
        if (kind == TokenKind::Identifier) {
            size_t found = wanted.size();
            for (size_t i = 0; i < wanted.size(); ++i) {
                if (scanner.text() == wanted[i].name) found = i;
            }
            if (found < wanted.size()) {
                head = Head::Name;
                which = found;
                headLine = scanner.line();
                headUnknown = scanner.unknownDirectives();
                dimension = 0;
                firstDimension = 0;
            } else if (head != Head::Dimensions) {
                head = Head::Idle; // a macro name inside the brackets is fine
            } else {
                if (dimension == 0) firstDimension = 0;
                ++dimensionTokens;
            }
            continue;
        }
        const char p = kind == TokenKind::Punctuator ? scanner.punctuator() : '\0';
        if (head == Head::Dimensions) {
            if (p == ']') {
                head = Head::AfterDimensions;
                ++dimension;
            } else if (kind == TokenKind::Other || p == '[' || p == '{' || p == '}' || p == ';' || p == '=') {
                head = Head::Idle;
            } else if (kind == TokenKind::Number && dimension == 0 && dimensionTokens == 0) {
                bool overflow = false;
                if (!integerLiteral(scanner.text(), firstDimension, overflow) || overflow) firstDimension = 0;
                ++dimensionTokens;
            } else {
                if (dimension == 0) firstDimension = 0; // an expression: its value is not read here
                ++dimensionTokens;
            }
            continue;
        }
        if (p == '[' && (head == Head::Name || head == Head::AfterDimensions)) {
            head = Head::Dimensions;
            dimensionTokens = 0;
        } else if (p == '=' && (head == Head::Name || head == Head::AfterDimensions)) {
            head = Head::Equals;
        } else if (p == '{' && head == Head::Equals) {
            head = Head::Idle;
            Wanted& w = wanted[which];
            const std::string prefix = std::string(w.name) + ": ";
            if (w.status == AUDIT_BAD_HEADERS) continue; // the first error stands
            if (w.status == STATUS_OK) {
                w.status = AUDIT_BAD_HEADERS;
                w.error = prefix + "declared twice (lines " + std::to_string(w.line) + " and " +
                          std::to_string(headLine) + "), and either may be compiled";
                continue;
            }
            w.line = headLine;
            if (w.slotBytes != 0) {
                // Shaped [R][...]: R is the round count. Any other form (flat,
                // empty or macro dimensions, none) leaves it to the values.
                const bool shaped = dimension >= 2 && firstDimension != 0;
                const int rounds = firstDimension > 14 ? 0 : static_cast<int>(firstDimension);
                if (shaped && !isAuditRoundCount(rounds)) {
                    w.status = AUDIT_BAD_HEADERS;
                    w.error = prefix + "the first dimension " + std::to_string(firstDimension) + " (line " +
                              std::to_string(headLine) + ") is no round count 10, 12 or 14";
                    continue;
                }
                w.rounds = shaped ? rounds : 0;
                w.count = shaped ? static_cast<size_t>(rounds) * w.slotBytes : 0;
            }
            if (scanner.unknownDirectives() != headUnknown) {
                w.status = AUDIT_BAD_HEADERS;
                w.error = prefix + "a conditional of unknown value inside the declaration (line " +
                          std::to_string(headLine) + ")";
                continue;
            }
            w.status = readInitialiser(scanner, w, w.error);
            if (w.status == STATUS_OK && w.slotBytes != 0) w.rounds = static_cast<int>(w.values->size() / w.slotBytes);
        } else {
            head = Head::Idle;
        }
    }
    // A comment or conditional left open, or a stray directive: the file
    // does not compile, and no table in it is taken (a table's own error,
    // often the cause, is the one told).
    if (!scanner.fileError().empty()) {
        for (Wanted& w : wanted) {
            // Where the scan stopped, a declaration may have followed.
            if (w.status == AUDIT_BAD_HEADERS || (w.status == 1 && !scanner.stopped())) continue;
            w.status = AUDIT_BAD_HEADERS;
            w.error = scanner.fileError();
        }
    }
}

const char* const kTableNames[6] = {"roundTables",    "xorTables",    "finalRoundTable",
                                    "invRoundTables", "invXorTables", "invFirstRoundTable"};
// Bytes per round slot of the round and XOR tables; the last tables have none.
const size_t kSlotBytes[6] = {kRoundSlotBytes, kXorSlotBytes, 0, kRoundSlotBytes, kXorSlotBytes, 0};

} // namespace

int32_t parseTableText(std::string_view text, std::string_view name, size_t count,
                       std::vector<uint8_t>& values, std::string& error) {
    std::vector<Wanted> wanted = {Wanted(name, count, &values)};
    scanTables(text, wanted);
    if (wanted[0].status != STATUS_OK) values.clear();
    if (wanted[0].status == AUDIT_BAD_HEADERS) error = wanted[0].error;
    return wanted[0].status;
}

int32_t parseRoundTableText(std::string_view text, std::string_view name, size_t slotBytes,
                            std::vector<uint8_t>& values, int& rounds, std::string& error) {
    std::vector<Wanted> wanted = {Wanted(name, 0, &values)};
    wanted[0].slotBytes = slotBytes;
    scanTables(text, wanted);
    if (wanted[0].status != STATUS_OK) values.clear();
    if (wanted[0].status == AUDIT_BAD_HEADERS) error = wanted[0].error;
    if (wanted[0].status == STATUS_OK) rounds = wanted[0].rounds;
    return wanted[0].status;
}

int32_t readAuditInput(const std::string& path, std::string& text, std::string& error) {
    text.clear();
    // A size the file system reports above the cap is refused unread; the
    // read itself stops one byte past the cap, for a file that grows meanwhile.
    std::error_code ignored;
    const uintmax_t size = std::filesystem::file_size(pathFromUtf8(path), ignored);
    const std::string tooLarge = path + ": larger than " + std::to_string(kAuditInputCap >> 20) +
                                 " MiB, the most the audit reads";
    if (!ignored && size > kAuditInputCap) {
        error = tooLarge;
        return AUDIT_BAD_HEADERS;
    }
    if (readRegularFile(path, text, kAuditInputCap + 1) != FileResult::ok) {
        text.clear();
        error = "cannot read " + path;
        return STATUS_OPEN_FAILED;
    }
    if (text.size() > kAuditInputCap) {
        text.clear();
        error = tooLarge;
        return AUDIT_BAD_HEADERS;
    }
    return STATUS_OK;
}

int32_t loadHeaderSet(const std::vector<std::string>& paths, HeaderSet& set, std::string& error) {
    std::vector<uint8_t>* targets[6] = {&set.encrypt.round, &set.encrypt.xors, &set.encrypt.last,
                                        &set.decrypt.round, &set.decrypt.xors, &set.decrypt.last};
    bool found[6] = {};
    int rounds[6] = {};
    for (const std::string& path : paths) {
        std::string text;
        const int32_t read = readAuditInput(path, text, error);
        if (read != STATUS_OK) return read;
        std::vector<std::vector<uint8_t>> values(6);
        std::vector<Wanted> wanted;
        for (size_t t = 0; t < 6; ++t) {
            wanted.emplace_back(kTableNames[t], kSlotBytes[t] == 0 ? kLastTableBytes : 0, &values[t]);
            wanted.back().slotBytes = kSlotBytes[t];
        }
        scanTables(text, wanted);
        bool any = false;
        for (size_t t = 0; t < 6; ++t) {
            if (wanted[t].status == 1) continue;
            if (wanted[t].status != STATUS_OK) {
                error = path + ": " + wanted[t].error;
                return wanted[t].status;
            }
            if (found[t]) {
                error = path + ": " + kTableNames[t] + " found in two headers";
                return AUDIT_BAD_HEADERS;
            }
            found[t] = true;
            rounds[t] = wanted[t].rounds;
            any = true;
            *targets[t] = std::move(values[t]);
        }
        if (!any) {
            error = path + ": no table declaration found";
            return AUDIT_BAD_HEADERS;
        }
    }
    set.hasEncrypt = found[0] && found[1] && found[2];
    set.hasDecrypt = found[3] && found[4] && found[5];
    for (int d = 0; d < 2; ++d) {
        const bool some = found[3 * d] || found[3 * d + 1] || found[3 * d + 2];
        const bool all = found[3 * d] && found[3 * d + 1] && found[3 * d + 2];
        if (some && !all) {
            for (int t = 3 * d; t < 3 * d + 3; ++t) {
                if (!found[t]) error = std::string("no ") + kTableNames[t] + " among the headers";
            }
            return AUDIT_BAD_HEADERS;
        }
    }
    if (!set.hasEncrypt && !set.hasDecrypt) {
        error = "no table found in the headers";
        return AUDIT_BAD_HEADERS;
    }
    // One key, one round count: every round and XOR table must have it.
    int first = -1;
    for (int t = 0; t < 6; ++t) {
        if (!found[t] || kSlotBytes[t] == 0) continue;
        if (first < 0) {
            first = t;
        } else if (rounds[t] != rounds[first]) {
            error = std::string(kTableNames[t]) + " has " + std::to_string(rounds[t]) + " rounds, " +
                    kTableNames[first] + " " + std::to_string(rounds[first]);
            return AUDIT_BAD_HEADERS;
        }
    }
    set.encrypt.rounds = set.decrypt.rounds = rounds[first];
    return STATUS_OK;
}
