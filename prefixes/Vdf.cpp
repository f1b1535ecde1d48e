#include "prefixes/Vdf.h"

#include "registry/win32/AsciiText.h"

namespace quarnel::prefixes {

namespace {

class Parser
{
public:
    explicit Parser(std::string_view text) : m_text(text)
    {
        if (m_text.substr(0, 3) == "\xEF\xBB\xBF") m_at = 3;
    }

    bool parse(VdfNode &root, std::string &error)
    {
        root = VdfNode{};
        root.isBlock = true;
        if (m_text.find('\0') != std::string_view::npos) return fail("NUL byte in the text", error);
        if (!pairs(root, 0, error)) return false;
        if (root.children.empty()) return fail("no key-value pair", error);
        return true;
    }

private:
    enum class Token
    {
        End,
        Open,
        Close,
        Text
    };

    bool fail(std::string_view why, std::string &error)
    {
        error = "line " + std::to_string(m_line) + ": " + std::string(why);
        return false;
    }

    // Skips blanks and `//` comments.
    void skipSpace()
    {
        while (m_at < m_text.size()) {
            const char c = m_text[m_at];
            if (c == '\n') {
                ++m_line;
                ++m_at;
            } else if (c == ' ' || c == '\t' || c == '\r') {
                ++m_at;
            } else if (c == '/' && m_at + 1 < m_text.size() && m_text[m_at + 1] == '/') {
                while (m_at < m_text.size() && m_text[m_at] != '\n')
                    ++m_at;
            } else {
                return;
            }
        }
    }

    bool next(Token &token, std::string &text, std::string &error)
    {
        skipSpace();
        if (m_at >= m_text.size()) {
            token = Token::End;
            return true;
        }
        const char c = m_text[m_at];
        if (c == '{' || c == '}') {
            token = c == '{' ? Token::Open : Token::Close;
            ++m_at;
            return true;
        }
        token = Token::Text;
        text.clear();
        if (c == '"') return quoted(text, error);
        // A bare word ends at a blank, a brace, a quote or a comment.
        while (m_at < m_text.size()) {
            const char w = m_text[m_at];
            if (w == ' ' || w == '\t' || w == '\r' || w == '\n' || w == '{' || w == '}' ||
                w == '"' || (w == '/' && m_at + 1 < m_text.size() && m_text[m_at + 1] == '/'))
                break;
            if (static_cast<unsigned char>(w) < 0x20) return fail("control character", error);
            text += w;
            ++m_at;
        }
        return true;
    }

    bool quoted(std::string &text, std::string &error)
    {
        const int opened = m_line;
        ++m_at;
        while (m_at < m_text.size()) {
            const char c = m_text[m_at++];
            if (c == '"') return true;
            if (c == '\n') ++m_line;
            if (c != '\\') {
                text += c;
                continue;
            }
            if (m_at >= m_text.size()) break;
            switch (m_text[m_at++]) {
            case '\\': text += '\\'; break;
            case '"': text += '"'; break;
            case 'n': text += '\n'; break;
            case 't': text += '\t'; break;
            default: return fail("unknown escape in a quoted text", error);
            }
        }
        m_line = opened;
        return fail("quoted text not closed", error);
    }

    // Pairs up to the closing brace of a block (depth > 0) or the end.
    bool pairs(VdfNode &block, int depth, std::string &error)
    {
        Token token;
        std::string key;
        for (;;) {
            if (!next(token, key, error)) return false;
            if (token == Token::End) {
                if (depth > 0) return fail("block not closed at the end of the file", error);
                return true;
            }
            if (token == Token::Close) {
                if (depth == 0) return fail("closing brace without a block", error);
                return true;
            }
            if (token == Token::Open) return fail("block without a key", error);
            VdfNode pair;
            pair.key = std::move(key);
            if (!next(token, pair.text, error)) return false;
            if (token == Token::Open) {
                if (depth + 1 >= kVdfMaxDepth) return fail("blocks nested too deep", error);
                pair.isBlock = true;
                if (!pairs(pair, depth + 1, error)) return false;
            } else if (token != Token::Text) {
                return fail("key \"" + pair.key + "\" without a value", error);
            }
            block.children.push_back(std::move(pair));
            key.clear();
        }
    }

    std::string_view m_text;
    std::size_t m_at = 0;
    int m_line = 1;
};

} // namespace

const VdfNode *VdfNode::child(std::string_view name) const
{
    for (const VdfNode &c : children)
        if (sameAsciiLetters(c.key, name)) return &c;
    return nullptr;
}

std::string VdfNode::textOf(std::string_view name) const
{
    const VdfNode *c = child(name);
    return c && !c->isBlock ? c->text : std::string();
}

bool parseVdf(std::string_view text, VdfNode &root, std::string &error)
{
    return Parser(text).parse(root, error);
}

} // namespace quarnel::prefixes
