#pragma once

// The font of the editor's value labels, embedded as the complete TrueType file:
// Liberation Sans 2.1 Regular (SIL Open Font License 1.1, see fonts/LiberationSans-LICENSE.txt).
namespace skin
{
extern const unsigned char LiberationSans_Regular[];
extern const int LiberationSans_RegularSize;
} // namespace skin
