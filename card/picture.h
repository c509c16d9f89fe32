#pragma once
// The background picture dialog of the card editor: its filter and first folder.
#include <string>
#include <string_view>

namespace melorin::card {

// The dialog's filter as the card editor has always written it: description|patterns pairs,
// patterns separated by ";".
inline constexpr std::string_view kPictureFilter =
    "jpg图片(*.jpg);jpeg图片(*.jpeg);gif图片(*.gif)|*.jpg;*.jpeg;*.gif|jpeg图片(*.jpeg)|*.jpeg|"
    "gif图片(*.gif)|*.gif";

// Where the dialog opens: programDir (with its trailing "/") + "pic/".
std::string pictureFolder(std::string_view programDir);

}  // namespace melorin::card
