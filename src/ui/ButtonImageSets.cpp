#include "ui/ButtonImageSets.h"

namespace {

struct NumberedSet {
  int number;
  ButtonImageSet set;
};

// Positions 10, 14 and 15 have no utility in this program; they keep a plain handset so a
// window that shows them still has a picture.
const NumberedSet kSets[] = {
    {10, {{"buttons/spare-normal", "buttons/spare-pressed", "buttons/spare-hover", "buttons/spare-disabled"}, -1}},
    {11,
     {{"buttons/phonebook-normal", "buttons/phonebook-pressed", "buttons/phonebook-hover",
       "buttons/phonebook-disabled"},
      -1}},
    {12, {{"buttons/image-normal", "buttons/image-pressed", "buttons/image-hover", "buttons/image-disabled"}, -1}},
    {13, {{"buttons/melody-normal", "buttons/melody-pressed", "buttons/melody-hover", "buttons/melody-disabled"}, -1}},
    {14, {{"buttons/spare-normal", "buttons/spare-pressed", "buttons/spare-hover", "buttons/spare-disabled"}, -1}},
    {15, {{"buttons/spare-normal", "buttons/spare-pressed", "buttons/spare-hover", "buttons/spare-disabled"}, -1}},
    {16, {{"buttons/help-normal", "buttons/help-pressed", "buttons/help-hover", "buttons/help-disabled"}, -1}},
    {17, {{"buttons/exit-normal", "buttons/exit-pressed", "buttons/exit-hover", "buttons/exit-disabled"}, -1}},
};

}  // namespace

const ButtonImageSet* CButtonImageSets::Find(int imageNumber) {
  for (const NumberedSet& entry : kSets) {
    if (entry.number == imageNumber) {
      return &entry.set;
    }
  }
  return nullptr;
}
