// SPDX-License-Identifier: MIT
// The Text interface: the words of the About and Keyboard Shortcuts windows and the
// display's value as Ctrl+C copies it, for a screen reader's review by character, word and
// line, and where each character and line is drawn. The texts are ASCII, so an offset counts
// bytes.
#include "a11y/interfaces.h"
#include "a11y/model.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

int getCharacterCount(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply,
                      void *userdata, sd_bus_error *) {
    return sd_bus_message_append(reply, "i", int(textOf(idFrom(userdata)).size()));
}
int getCaretOffset(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply,
                   void *, sd_bus_error *) {
    return sd_bus_message_append(reply, "i", 0);
}
int getText(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    int start = 0, end = 0;
    if (sd_bus_message_read(m, "ii", &start, &end) < 0)
        return invalid(error, "a start and an end offset");
    const std::string text = textOf(idFrom(userdata));
    const int n = int(text.size());
    end = end < 0 || end > n ? n : end;
    start = std::max(0, std::min(start, end));
    return sd_bus_reply_method_return(m, "s",
                                      text.substr(size_t(start), size_t(end - start)).c_str());
}
int getCharacterAtOffset(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    int offset = 0;
    if (sd_bus_message_read(m, "i", &offset) < 0)
        return invalid(error, "an offset");
    const std::string text = textOf(idFrom(userdata));
    const bool in = offset >= 0 && offset < int(text.size());
    return sd_bus_reply_method_return(m, "i", in ? int(text[size_t(offset)]) : 0);
}
// The piece at the offset (`step` 0), the one before it (-1) or the one after it (1).
int replyPiece(sd_bus_message *m, void *userdata, sd_bus_error *error, uint32_t limit, int step) {
    int offset = 0;
    uint32_t unit = 0;
    if (sd_bus_message_read(m, "iu", &offset, &unit) < 0 || unit > limit)
        return invalid(error, "an offset and a boundary type");
    if (limit == 4) // a granularity: character, word, sentence, line, paragraph
        unit = unit == 0 ? uint32_t(BOUNDARY_CHAR) : unit == 1 ? 1u : uint32_t(BOUNDARY_LINE_START);
    const std::string text = textOf(idFrom(userdata));
    const int n = int(text.size());
    std::pair<int, int> piece = pieceAt(text, offset, unit);
    if (step < 0)
        piece = piece.first > 0 ? pieceAt(text, piece.first - 1, unit) : std::make_pair(0, 0);
    else if (step > 0)
        piece = piece.second < n ? pieceAt(text, piece.second, unit) : std::make_pair(n, n);
    const std::string words = text.substr(size_t(piece.first), size_t(piece.second - piece.first));
    return sd_bus_reply_method_return(m, "sii", words.c_str(), piece.first, piece.second);
}
int getStringAtOffset(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    return replyPiece(m, userdata, error, 4, 0);
}
int getTextBeforeOffset(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    return replyPiece(m, userdata, error, 6, -1);
}
int getTextAtOffset(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    return replyPiece(m, userdata, error, 6, 0);
}
int getTextAfterOffset(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    return replyPiece(m, userdata, error, 6, 1);
}
// Where a character, or the characters [start, end), are drawn; the coordinate type is
// screen or window (a text's parent is its window).
int getCharacterExtents(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    int offset = 0;
    uint32_t coords = 0;
    if (sd_bus_message_read(m, "i", &offset) < 0 || !readCoords(m, coords))
        return invalid(error, "an offset and a coordinate type 0, 1 or 2");
    const TextBox b = characterExtents(idFrom(userdata), offset, coords);
    return sd_bus_reply_method_return(m, "iiii", b.x, b.y, b.w, b.h);
}
int getRangeExtents(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    int start = 0, end = 0;
    uint32_t coords = 0;
    if (sd_bus_message_read(m, "ii", &start, &end) < 0 || !readCoords(m, coords))
        return invalid(error, "offsets and a coordinate type 0, 1 or 2");
    const TextBox b = rangeExtents(idFrom(userdata), start, end, coords);
    return sd_bus_reply_method_return(m, "iiii", b.x, b.y, b.w, b.h);
}
int getOffsetAtPoint(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    int x = 0, y = 0;
    uint32_t coords = 0;
    if (!readCoords(m, coords, &x, &y))
        return invalid(error, "x, y and a coordinate type 0, 1 or 2");
    return sd_bus_reply_method_return(m, "i", offsetAtPoint(idFrom(userdata), x, y, coords));
}
// Attributes, selections: none, and none can be made. (The bus checks every request's
// arguments against the signatures below: unread ones need no reading.)
int getAttributeRun(sd_bus_message *m, void *userdata, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "a{ss}ii", 0, 0, int(textOf(idFrom(userdata)).size()));
}
int getNoAttributes(sd_bus_message *m, void *, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "a{ss}", 0);
}
int getNoAttribute(sd_bus_message *m, void *, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "s", "");
}
int getNSelections(sd_bus_message *m, void *, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "i", 0);
}
int noSelection(sd_bus_message *, void *, sd_bus_error *error) {
    return invalid(error, "there is no selection");
}
int refused(sd_bus_message *m, void *, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "b", false);
}

} // namespace

const sd_bus_vtable TEXT_VTABLE[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("CharacterCount", "i", getCharacterCount, 0, 0),
    SD_BUS_PROPERTY("CaretOffset", "i", getCaretOffset, 0, 0),
    SD_BUS_METHOD("GetText", "ii", "s", getText, 0),
    SD_BUS_METHOD("GetCharacterAtOffset", "i", "i", getCharacterAtOffset, 0),
    SD_BUS_METHOD("GetStringAtOffset", "iu", "sii", getStringAtOffset, 0),
    SD_BUS_METHOD("GetTextBeforeOffset", "iu", "sii", getTextBeforeOffset, 0),
    SD_BUS_METHOD("GetTextAtOffset", "iu", "sii", getTextAtOffset, 0),
    SD_BUS_METHOD("GetTextAfterOffset", "iu", "sii", getTextAfterOffset, 0),
    SD_BUS_METHOD("GetCharacterExtents", "iu", "iiii", getCharacterExtents, 0),
    SD_BUS_METHOD("GetRangeExtents", "iiu", "iiii", getRangeExtents, 0),
    SD_BUS_METHOD("GetOffsetAtPoint", "iiu", "i", getOffsetAtPoint, 0),
    SD_BUS_METHOD("GetAttributeRun", "ib", "a{ss}ii", getAttributeRun, 0),
    SD_BUS_METHOD("GetAttributes", "i", "a{ss}ii", getAttributeRun, 0),
    SD_BUS_METHOD("GetAttributeValue", "is", "s", getNoAttribute, 0),
    SD_BUS_METHOD("GetDefaultAttributes", "", "a{ss}", getNoAttributes, 0),
    SD_BUS_METHOD("GetDefaultAttributeSet", "", "a{ss}", getNoAttributes, 0),
    SD_BUS_METHOD("GetNSelections", "", "i", getNSelections, 0),
    SD_BUS_METHOD("GetSelection", "i", "ii", noSelection, 0),
    SD_BUS_METHOD("AddSelection", "ii", "b", refused, 0),
    SD_BUS_METHOD("RemoveSelection", "i", "b", refused, 0),
    SD_BUS_METHOD("SetSelection", "iii", "b", refused, 0),
    SD_BUS_METHOD("SetCaretOffset", "i", "b", refused, 0),
    SD_BUS_VTABLE_END};
