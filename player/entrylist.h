#pragma once
// What the player reads out of the lists it is given: the entries of an ".rpm"/".ram" list
// (an address a line) and of an ".asx" list (its references), and how an address is shown.
// Lists come from files and from the network: nothing here trusts their text.
#include <string>
#include <string_view>
#include <vector>

namespace melorin::player {

enum class EntryKind {
    Media,     // an address to play
    LineList,  // ".rpm", ".ram": an address a line
    AsxList,   // ".asx", ".wax", ".wvx": reference entries
};

// Decided by the ending of the address's path (query and fragment ignored, any case).
EntryKind entryKindOf(std::string_view address);
// What a file of this computer holds, by its first bytes (`head`; `whole` when that is the
// whole file), for a file whose name does not say: a list saved under another name plays as
// the list it is. An ".asx" list begins with "<asx"; a line list is text whose every entry line
// is an address; anything else is media.
EntryKind sniffedKindOf(std::string_view head, bool whole);

// The list's text as UTF-8. A byte-order mark decides (UTF-8, UTF-16 LE or BE, the mark
// dropped); without one, valid UTF-8 stays and anything else is read as GBK.
std::string listTextToUtf8(std::string_view bytes);

// Trimmed non-empty lines, except comments ("#") and RealPlayer's "--stop--" marker.
std::vector<std::string> lineListEntries(std::string_view text);
// The address of every "<ref href=...>" and "<entryref href=...>" in document order, names
// in any case, the value in double, single or no quotes, entities decoded.
std::vector<std::string> asxEntries(std::string_view text);
// One entry of a list: its address as text, and as the list's own bytes name it. The two
// differ only for a list read as GBK, whose entries may name local files by GBK names.
struct ListEntry {
    std::string address;
    std::string bytes;
};
// The entries of a list file's bytes, of the kind its address says (not Media).
std::vector<ListEntry> listEntries(std::string_view listBytes, EntryKind kind);

// "&amp;", "&lt;", "&gt;", "&quot;", "&apos;" and numeric references decoded; an "&" that
// starts none of them stays as it is.
std::string decodeEntities(std::string_view text);

// The file name an address names (its last path segment, percent-decoded), for an entry
// without a title; the address itself when it names none.
std::string displayNameOf(std::string_view address);

}  // namespace melorin::player
