#pragma once
// Jet's messages: the Italian descriptions of Jet/DAO error numbers (dao/vb/messages.cpp). Part of the
// public interface through dao/dao.h.

#include <string>
#include <string_view>

namespace ledrana::dao {

// The Italian description of a Jet/DAO error number (our own table), with '|' placeholders filled from
// the arguments in order.
std::string JetErrorText(int number, std::string_view arg1 = {}, std::string_view arg2 = {});

} // namespace ledrana::dao
