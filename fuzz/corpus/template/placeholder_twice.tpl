extern const unsigned char #xorTables#[10][4][24][256]#;
const unsigned char #xorTables#[10][4][24][256]#;
