// bvn::parser: reader of the layout text that the stores are written in:
// named objects in braces holding "key : value" or "key(value)" members,
// values typed by their shape. It accepts more than the store writes and
// never throws; a syntax error ends the parse with failure, keeping the
// roots completed before it.
#pragma once

#include <any>
#include <cerrno>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <limits>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace bvn::parser
{

template <typename Char> struct basic_object {
    using string_type = std::basic_string<Char>;

    basic_object() { members.max_load_factor(1.0f); }

    string_type name;
    std::unordered_map<string_type, std::any> members;
    // Keys in reading order; a repeated key is listed once per occurrence.
    std::vector<string_type> order;
};

// The value of a member written with no text ("x : ,").
inline const char* const empty_marker = "";

// A text written in the exact form: '~', then the text between double
// quotes with each of its quotes doubled. Backslashes mean nothing there,
// so every text reads back as it was, and the form is kept apart from the
// plain quoted texts (whose reading keeps escapes as written) by the '~'
// that no other written value begins with.
template <typename Char> struct exact_text {
    std::basic_string<Char> text;
};

template <typename Stream, typename Char> class basic_parser
{
public:
    using string_type = std::basic_string<Char>;
    using object_type = basic_object<Char>;

    explicit basic_parser(const string_type& text) : m_stream(text), m_text(m_stream.str()) {}

    bool parse()
    {
        m_objects = std::unordered_map<string_type, object_type>();
        m_objects.max_load_factor(1.0f);
        m_order.clear();
        m_written.clear();
        m_hidden.clear();
        m_pos = 0;
        m_complete = true;
        skip_space();
        if (at_end())
            return false;
        if (peek() == Char('#'))
            return parse_tagged_block();
        for (;;) {
            if (!parse_object())
                return false;
            skip_space();
            if (at_end())
                return true;
        }
    }

    // False when the text ended inside an object or a text: the roots read
    // are only part of what was written.
    bool complete() const { return m_complete; }
    const std::unordered_map<string_type, object_type>& objects() const { return m_objects; }
    const std::vector<string_type>& order() const { return m_order; }
    // The name each root of order() was written under (a repeated root is
    // listed in order() with "^" appended, here as written).
    const std::vector<string_type>& written_names() const { return m_written; }
    // The roots read but left out of order() (names beginning with '@').
    const std::vector<string_type>& hidden() const { return m_hidden; }
    const string_type& tag() const { return m_tag; }

    bool parse_object()
    {
        string_type name(1, m_text[m_pos++]);
        skip_space();
        while (!at_end() && peek() != Char('{')) {
            name += m_text[m_pos++];
        }
        if (at_end())
            return false;
        ++m_pos; // '{'
        object_type object;
        if (!parse_members(object, 0))
            return false;
        const string_type written = name;
        while (m_objects.find(name) != m_objects.end())
            name += Char('^');
        const bool hidden = name[0] == Char('@');
        m_objects.emplace(name, std::move(object));
        if (hidden) {
            m_hidden.push_back(name);
        } else {
            m_order.push_back(name);
            m_written.push_back(written);
        }
        return true;
    }

    // Called after the '{'. Consumes the closing '}'.
    bool parse_members(object_type& object, int depth)
    {
        // A hand-made file with absurd nesting must not overflow the stack.
        if (depth > kMaxDepth)
            return false;
        skip_space();
        if (!at_end() && peek() == Char('}')) {
            ++m_pos;
            return true;
        }
        for (;;) {
            if (at_end())
                return ended_early();
            if (peek() == Char(',')) {
                ++m_pos;
                skip_space();
                if (at_end())
                    return ended_early();
                if (peek() == Char('}')) {
                    ++m_pos;
                    return true;
                }
            }
            string_type key;
            while (!at_end() && !is_key_end(peek()))
                key += m_text[m_pos++];
            skip_space();
            // The text ended inside a member: keep what was complete.
            if (at_end())
                return ended_early();
            std::any value;
            const Char c = peek();
            if (c == Char('(')) {
                ++m_pos;
                if (!parse_value(value, Char(')'), Char(')')))
                    return false;
                if (!at_end() && peek() == Char(')'))
                    ++m_pos;
                skip_space();
            } else if (c == Char(':')) {
                ++m_pos;
                // Only this form is written by the store, so only here may a
                // written text that ends in a backslash be recognised.
                m_writtenDepth = depth;
                const bool read = parse_value(value, Char(','), Char('}'));
                m_writtenDepth = -1;
                if (!read)
                    return false;
            } else if (c == Char('{')) {
                ++m_pos;
                object_type nested;
                if (!parse_members(nested, depth + 1))
                    return false;
                value = std::move(nested);
                skip_space();
            } else {
                return false;
            }
            auto found = object.members.find(key);
            if (found == object.members.end())
                object.members.emplace(key, std::move(value));
            else
                found->second = std::move(value);
            object.order.push_back(key);
            if (at_end())
                return ended_early();
            if (peek() == Char('}')) {
                ++m_pos;
                return true;
            }
        }
    }

    // Collects one value up to a terminator and types it by its shape.
    bool parse_value(std::any& out, Char term1, Char term2)
    {
        skip_space();
        if (m_pos + 1 < m_text.size() && peek() == Char('~') && m_text[m_pos + 1] == Char('"')) {
            out = read_exact_text();
            skip_space();
            return true;
        }
        string_type text;
        bool intShape = true;
        bool realShape = true;
        int minusCount = 0;
        while (!at_end()) {
            const Char c = peek();
            if (c == term1 || c == term2)
                break;
            if (is_space(c)) {
                if (!text.empty()) {
                    skip_space();
                    break;
                }
                ++m_pos;
                continue;
            }
            if (c == Char('"')) {
                intShape = realShape = false;
                if (!text.empty() && text.back() == Char('\\')) {
                    // Outside a quoted run an escaped quote is one quote.
                    text.back() = Char('"');
                    ++m_pos;
                    continue;
                }
                read_quoted_run(text);
                continue;
            }
            if (c == Char('-')) {
                ++minusCount;
            } else if (c == Char('.')) {
                intShape = false;
            } else if (c < Char('0') || c > Char('9')) {
                intShape = realShape = false;
            }
            if (minusCount > 1)
                intShape = realShape = false;
            text += c;
            ++m_pos;
        }
        out = type_value(text, intShape, realShape);
        return true;
    }

    // Tagged documents select a block by tag; this system uses no tag, so
    // such a document holds no roots for it.
    bool parse_tagged_block()
    {
        m_pos = m_text.size();
        return true;
    }

private:
    static constexpr int kMaxDepth = 256;

    bool at_end() const { return m_pos >= m_text.size(); }
    Char peek() const { return m_text[m_pos]; }

    static bool is_space(Char c)
    {
        return c == Char(' ') || c == Char('\t') || c == Char('\n') || c == Char('\v') || c == Char('\f') ||
               c == Char('\r');
    }
    static bool is_key_end(Char c)
    {
        return c == Char(':') || c == Char('{') || c == Char('(') || c == Char(',') || c == Char('}') || is_space(c);
    }
    void skip_space()
    {
        while (!at_end() && is_space(peek()))
            ++m_pos;
    }

    // True when position p starts what the writer puts after a value of an
    // object at the depth being read: "," and a line end and the next
    // member at its indent, or a line end and the closing brace at its
    // indent. The exact indent keeps this from matching inside texts.
    bool is_written_value_end(size_t p) const
    {
        if (m_writtenDepth < 0)
            return false;
        const size_t memberIndent = 4 * static_cast<size_t>(m_writtenDepth + 1);
        const bool comma = p < m_text.size() && m_text[p] == Char(',');
        if (comma)
            ++p;
        if (p >= m_text.size() || m_text[p] != Char('\n'))
            return false;
        ++p;
        const size_t indent = comma ? memberIndent : memberIndent - 4;
        for (size_t i = 0; i < indent; ++i, ++p) {
            if (p >= m_text.size() || m_text[p] != Char(' '))
                return false;
        }
        if (p >= m_text.size())
            return false;
        return comma ? !is_space(m_text[p]) : m_text[p] == Char('}');
    }

    // A quote that follows a backslash does not close a quoted run. The
    // writer leaves one case open: a text whose last character is a
    // backslash ends in a backslash right before its closing quote, and the
    // run would go on into the members after it. Such a quote closes the
    // run only when it stands exactly where the writer ends a value and
    // going on would not reach another quote that ends a value there: the
    // run would otherwise end at the next text's opening quote or at the end
    // of the document. A text without a backslash at its end is written so
    // that going on always reaches its own closing quote, which the writer
    // follows by the end of a value, so its reading never changes.
    bool closes_text_ending_in_backslash(size_t afterQuote) const
    {
        if (!is_written_value_end(afterQuote))
            return false;
        for (size_t q = afterQuote; q < m_text.size(); ++q) {
            if (m_text[q] != Char('"'))
                continue;
            if (m_text[q - 1] == Char('\\')) {
                if (is_written_value_end(q + 1))
                    return false; // a later quote of this kind decides
                continue;
            }
            return !is_written_value_end(q + 1);
        }
        return true;
    }

    // Reads "~" and a quoted text whose doubled quotes stand for one quote.
    exact_text<Char> read_exact_text()
    {
        m_pos += 2;
        exact_text<Char> value;
        while (!at_end()) {
            const Char c = m_text[m_pos++];
            if (c != Char('"')) {
                value.text += c;
                continue;
            }
            if (at_end() || peek() != Char('"'))
                return value;
            value.text += c;
            ++m_pos;
        }
        m_complete = false;
        return value;
    }

    bool ended_early()
    {
        m_complete = false;
        return true;
    }

    // Collects from the opening quote up to and including the closing one.
    void read_quoted_run(string_type& text)
    {
        text += m_text[m_pos++];
        while (!at_end()) {
            const Char c = m_text[m_pos++];
            text += c;
            if (c != Char('"'))
                continue;
            const bool escaped = m_text[m_pos - 2] == Char('\\');
            if (!escaped || closes_text_ending_in_backslash(m_pos))
                return;
        }
    }

    static std::any type_value(const string_type& t, bool intShape, bool realShape)
    {
        if (t.empty() || t == string_type(1, Char('"')))
            return std::any(empty_marker);
        if (t.size() >= 2 && t.front() == Char('"') && t.back() == Char('"'))
            return std::any(t.substr(1, t.size() - 2));
        if (intShape && t != string_type(1, Char('-'))) {
            int value = 0;
            if (leading_int(t, value))
                return std::any(value);
            return std::any(t); // beyond 32 bits: kept as text
        }
        if (realShape && t != string_type(1, Char('.')) && t != string_type{Char('-'), Char('.')}) {
            double value = 0;
            if (leading_double(t, value))
                return std::any(value);
            return std::any(t); // no number in it (".." or ".-"): kept as text
        }
        if (t == string_type{Char('t'), Char('r'), Char('u'), Char('e')})
            return std::any(true);
        if (t == string_type{Char('f'), Char('a'), Char('l'), Char('s'), Char('e')})
            return std::any(false);
        return std::any(t);
    }

    // Base-10 conversion of the leading part ("12-3" gives 12).
    static bool leading_int(const string_type& t, int& out)
    {
        size_t i = 0;
        bool negative = false;
        if (i < t.size() && t[i] == Char('-')) {
            negative = true;
            ++i;
        }
        long long value = 0;
        size_t digits = 0;
        for (; i < t.size() && t[i] >= Char('0') && t[i] <= Char('9'); ++i, ++digits) {
            value = value * 10 + (t[i] - Char('0'));
            if (value > 2147483648LL)
                return false;
        }
        if (digits == 0)
            return false;
        if (negative)
            value = -value;
        if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
            return false;
        out = static_cast<int>(value);
        return true;
    }

    // Conversion of the leading part ("1.2.3" gives 1.2).
    static bool leading_double(const string_type& t, double& out)
    {
        std::string narrow;
        for (Char c : t)
            narrow += static_cast<char>(c);
        const char* begin = narrow.c_str();
        char* end = nullptr;
        errno = 0;
        const double value = std::strtod(begin, &end);
        if (end == begin || errno == ERANGE)
            return false;
        out = value;
        return true;
    }

    Stream m_stream;
    string_type m_text;
    size_t m_pos = 0;
    // Depth of the object whose "key : value" member is being read; -1
    // elsewhere.
    int m_writtenDepth = -1;
    bool m_complete = true;
    std::unordered_map<string_type, object_type> m_objects;
    std::vector<string_type> m_order;
    std::vector<string_type> m_written;
    std::vector<string_type> m_hidden;
    string_type m_tag;
};

} // namespace bvn::parser
