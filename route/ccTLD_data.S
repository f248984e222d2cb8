/* The IP-range tables, carried in the program's read-only data. The build
   passes the tables' absolute paths as TARVO_CCTLD_FILE (IPv4) and
   TARVO_CCTLD6_FILE (IPv6). */
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

        .balign 16
        .globl tarvo_ccTLD6_begin
        .type tarvo_ccTLD6_begin, @object
tarvo_ccTLD6_begin:
        .incbin TARVO_CCTLD6_FILE
        .globl tarvo_ccTLD6_end
        .type tarvo_ccTLD6_end, @object
tarvo_ccTLD6_end:
        .byte 0
        .size tarvo_ccTLD6_begin, tarvo_ccTLD6_end - tarvo_ccTLD6_begin
        .size tarvo_ccTLD6_end, 1
        .section .note.GNU-stack,"",@progbits
