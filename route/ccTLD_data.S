/* The IP-range table, carried in the program's read-only data. The build
   passes the table's absolute path as TARVO_CCTLD_FILE. */
        .section .rodata
        .balign 16
        .globl tarvo_ccTLD_begin
        .type tarvo_ccTLD_begin, @object
tarvo_ccTLD_begin:
        .incbin TARVO_CCTLD_FILE
        .globl tarvo_ccTLD_end
        .type tarvo_ccTLD_end, @object
tarvo_ccTLD_end:
        .byte 0
        .size tarvo_ccTLD_begin, tarvo_ccTLD_end - tarvo_ccTLD_begin
        .size tarvo_ccTLD_end, 1
        .section .note.GNU-stack,"",@progbits
