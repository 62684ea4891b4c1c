#ifndef FINAL_ROUND_TABLE_H
#define FINAL_ROUND_TABLE_H

static const unsigned char #finalRoundTable#[4][4][256]#;

#endif
