-- params: Ordem_Servico_ID
-- The pickups ('C') and deliveries ('E') of a fractional order, in schedule
-- order, each with its invoice: the closing tracks pickups by schedule and
-- deliveries by invoice.
CREATE PROCEDURE SP_VLM_CONS_TIPO_OS_FRAC2(IN p_Ordem_Servico_ID INT)
  READS SQL DATA
BEGIN
  SELECT af.AGENDAMENTO_FRAC_ID  AS AGENDAMENTO_FRAC_ID,
         af.INDIC_COLETA_ENTREGA AS indic_coleta_entrega,
         af.NOTA_FISCAL_ID       AS NOTA_FISCAL_ID
    FROM AGENDAMENTO_FRAC af
   WHERE af.ORDEM_SERVICO_ID = p_Ordem_Servico_ID
   ORDER BY af.AGENDAMENTO_FRAC_ID;
END
