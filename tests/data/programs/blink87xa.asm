; blink87xa.asm - LED blinker for the 16F873A/874A/876A/877A.
;
; An LED on RB0 blinks at a rate read from data EEPROM cell 0, with a
; crystal on OSC1/OSC2. The blink pattern comes from a table at 0x0800,
; in the second program memory page, so that the words of a partly used row
; are written too.
;
; Assembled with -D PROTECTED (see protection.inc) for the tests of
; protected chips.
;
; Build: see build.sh (one HEX file per chip).

#ifdef __16F873A
        include <p16f873a.inc>
#endif
#ifdef __16F874A
        include <p16f874a.inc>
#endif
#ifdef __16F876A
        include <p16f876a.inc>
#endif
#ifdef __16F877A
        include <p16f877a.inc>
#endif
        errorlevel -302, -306   ; bank and page selects below are deliberate
        include "protection.inc"

        ; Crystal, watchdog off, power-up timer on, brown-out on, low-voltage
        ; programming off (RB3 stays an I/O pin), protected only as PROTECTION says.
        __CONFIG _HS_OSC & _WDT_OFF & _PWRTE_ON & _BOREN_ON & _LVP_OFF & _WRT_OFF & _DEBUG_OFF & PROTECTION
#ifdef PROTECTED
        __IDLOCS h'1234'
#else
        __IDLOCS h'877A'
#endif

        include "vectors.inc"
        cblock
            step
        endc

start:
        banksel TRISB
        bcf     TRISB, 0
        include "eeprom_delay.inc"
        clrf    step

blink:
        movf    step, W
        pagesel pattern
        call    pattern
        pagesel blink
        movwf   PORTB
        incf    step, F
        movlw   0x03
        andwf   step, F
        call    delay
        goto    blink

        include "delay.inc"

        org     0x0803
pattern:
        addwf   PCL, F
        retlw   0x01
        retlw   0x00
        retlw   0x01
        retlw   0x00

        org     0x2100
        de      d'50', "877A"

        end
