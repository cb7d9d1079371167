#pragma once
// Splitting mask list texts into masks, and joining masks back into one text.
//
// A mask list is one text holding any number of masks, e.g. "*.txt; *.doc". Separators are tab,
// space, "(", ")", ",", ";", "[" and "]". A double quote opens or closes a quoted stretch whose
// separators belong to the token; inside it two double quotes give one double quote. Texts of
// any length are accepted.

#include <string>
#include <string_view>
#include <vector>

// Token splitter over its own copy of a text.
class TTextLine
{
public:
    TTextLine() = default;
    explicit TTextLine(std::string_view text) { SetText(text); }

    // Takes a copy of the text and goes back to its start.
    void SetText(std::string_view text);
    const std::string& Text() const { return m_text; }

    // The first token of the text (reading from its start).
    std::string FirstToken();
    // The token after the one returned last. When no token is left it returns the empty text and
    // Found() is false. A token may be empty ("" in the text) while Found() is true.
    std::string NextToken();

    // Whether the last call found a token.
    bool Found() const { return m_found; }
    // Whether the last token held a double quote.
    bool HadQuotes() const { return m_hadQuotes; }
    // Whether the last token held "(" or "[" outside quotes (the token ended there).
    bool HadOpenBracket() const { return m_hadOpenBracket; }

    static bool IsSeparator(char c);

private:
    std::string m_text;
    std::size_t m_pos = 0;
    bool m_found = false;
    bool m_hadQuotes = false;
    bool m_hadOpenBracket = false;
};

// Appends the masks of a mask list text to `masks`, in text order; empty tokens are dropped. With
// `complete` a token without "." becomes "*." followed by the token (a bare extension names all
// files with that extension). Include lists are built without completion, exclude lists with it.
void BuildMaskList(std::string_view text, std::vector<std::string>& masks, bool complete);

// The masks joined with ";" (nothing before the first or after the last); empty for no masks. A mask
// holding a separator or a double quote is written quoted (its quotes doubled), so splitting the
// text again gives the same masks ("my notes.txt" stays one mask).
std::string JoinMaskList(const std::vector<std::string>& masks);
