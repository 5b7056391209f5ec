; SPDX-License-Identifier: GPL-2.0-or-later
; blink.a51 - blinks an LED on P1.0 of an AT89C2051 (or any 8051) at 2 Hz.
;
; Wiring: LED and 330 ohm resistor from VCC to P1.0 (pin 12). P1.0 and P1.1
; of the AT89C2051 have no internal pull-ups, so the pin can only sink the
; LED current: the LED is lit while P1.0 reads 0. Crystal 12 MHz, so one
; machine cycle lasts 1 us.
;
; The program toggles P1.0, waits about 250 ms and repeats: 0.25 s on,
; 0.25 s off. Code 0000h..0013h, 20 bytes; no interrupts are used.
;
; Addr  Bytes      Source

        .org  0000h
start:  MOV   SP,#2Fh         ; 0000  75 81 2F   stack above the bit area
loop:   CPL   P1.0            ; 0003  B2 90      toggle the LED
        ACALL delay           ; 0005  11 09
        SJMP  loop            ; 0007  80 FA

; About 250 ms: 250 passes of the inner loop of 4 cycles (NOP, NOP,
; DJNZ = 1 + 1 + 2 us), i.e. 1 ms, repeated 250 times; the outer loop adds
; 3 us per millisecond.
delay:  MOV   R7,#250         ; 0009  7F FA
d1:     MOV   R6,#250         ; 000B  7E FA
d2:     NOP                   ; 000D  00
        NOP                   ; 000E  00
        DJNZ  R6,d2           ; 000F  DE FC
        DJNZ  R7,d1           ; 0011  DF F8
        RET                   ; 0013  22

        .end
