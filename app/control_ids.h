#pragma once
// The main dialog's control identifiers, shared by its builder, its command routing
// and the generate command.

enum : int {
    IDC_KEYWORD1 = 1001,
    IDC_LABEL1 = 1002,
    IDC_LABEL2 = 1003,
    IDC_KEYWORD2 = 1004,
    IDC_LABEL3 = 1005,
    IDC_KEYWORD3 = 1006,
    IDC_LABEL4 = 1007,
    IDC_KEYWORD4 = 1008,
    IDC_PASTE = 1009,
    IDC_QUOTES = 1010,
    IDC_BRACKETS = 1011,
    IDC_SITELINK = 1012,
    IDC_SUBSETS = 1013,
};
