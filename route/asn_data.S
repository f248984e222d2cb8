/* The network-owner table, carried in the program's read-only data. The build
   passes the table's absolute path as TARVO_ASN_FILE. */
        .section .rodata
        .balign 16
        .globl tarvo_asn_begin
        .type tarvo_asn_begin, @object
tarvo_asn_begin:
        .incbin TARVO_ASN_FILE
        .globl tarvo_asn_end
        .type tarvo_asn_end, @object
tarvo_asn_end:
        .byte 0
        .size tarvo_asn_begin, tarvo_asn_end - tarvo_asn_begin
        .size tarvo_asn_end, 1
        .section .note.GNU-stack,"",@progbits
