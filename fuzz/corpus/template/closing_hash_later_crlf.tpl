/* round tables */
const unsigned char #roundTables#[10][4][4][256][4]
#define AFTER 1
#invRoundTables##;
#invXorTables#
